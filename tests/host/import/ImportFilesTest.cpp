// Scene import on real files, through the one entry the program uses: each
// file either opens with the parts it holds, or fails with one message that
// names the file and what is wrong.
#include "host/import/RendererRecords.h"
#include "host/import/SceneImport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <numbers>
#include <iterator>
#include <sstream>

#include "host/app/Doc.h"
#include "host/app/DocumentFile.h"
#include "host/platform/KavraDib.h"
#include "host/import/ImportLog.h"
#include "host/import/JsonSceneImporter.h"
#include "host/import/LogText.h"
#include "host/Files.h"
#include "support/TempDir.h"

namespace {

using namespace std::string_literals;  // files with NUL bytes in them

const std::filesystem::path kExamples = std::filesystem::path(DM_SOURCE_DIR) / "examples/scenes";

// The smallest map the renderer samples: 3 x 3 grey pixels.
const std::string kImage = "P6\n3 3\n255\n" + std::string(27, '\x80');

// Small scenes laid down for the table below.
const std::pair<const char*, std::string> kFiles[] = {
    // A quad whose material names a texture, a bump, a normal and a
    // reflection map, and a material nothing uses.
    {"scene.obj", "mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\no Shiny\nusemtl shiny\nf 1 2 3 4\n"},
    {"scene.mtl", "newmtl unused\nKd 0 1 0\n\nnewmtl shiny\nKd 1 0 0\nKs 0.5 0.5 0.5\nNs 64\nd 0.75\n"
                  "map_Kd tex/wood.png\nmap_Bump -bm 0.3 tex/height.png\nnorm tex/normal.png\n"
                  "refl -type sphere -mm 0 0.4 tex/sky.png\n"},
    {"tex/wood.png", kImage},
    {"tex/height.png", kImage},
    {"tex/sky.png", kImage},
    // Maps that are there but cannot be read: a folder, a file that is no image.
    {"badmaps.obj", "mtllib badmaps.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl b\nf 1 2 3\n"},
    {"badmaps.mtl", "newmtl b\nmap_Kd tex\nmap_Bump notes.png\n"},
    {"notes.png", "not an image"},
    {"points.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                   "end_header\n0 0 0\n1 0 0\n0 1 0\n"},
    // Faces without a material take the document's default, not Assimp's.
    {"plain.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
    {"two.obj", "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\no A\nusemtl red\nf 1 2 3\no B\nusemtl blue\nf 1 3 4\n"},
    {"two.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n"},
    // Mesh objects take their file's materials unless they name one.
    {"meshes.json", R"({"materials": [{"name": "gold"}], "lights": [{"type": "point", "location": [0, 0, 1]}],
        "objects": [{"type": "mesh", "file": "two.obj"}, {"type": "mesh", "file": "two.obj", "material": "gold"},
                    {"type": "box"}]})"},
    {"unknown_keys.json", R"({"extra": 1, "objects": [{"type": "box", "colour": [1, 2, 3]}]})"},
    {"malformed.json", "{\"objects\": [\n  {\"type\": \"box\",}\n]}"},
    {"huge.json", R"({"objects": [{"type": "sphere", "segments": 1024, "rings": 1024},
        {"type": "sphere", "segments": 1024, "rings": 1024}, {"type": "sphere", "segments": 1024, "rings": 1024},
        {"type": "sphere", "segments": 1024, "rings": 1024}]})"},
    {"nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
    {"huge.obj", "v 0 0 0\nv 1e39 0 0\nv 0 1 0\nf 3 1 2\n"},  // the second point, the third corner
    {"past.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n"},
    {"nofaces.obj", "v 0 0 0\nv 1 0 0\n"},
    {"empty.obj", ""},
    {"garbage.fbx", std::string(4000, '\x9c')},
    {"absurd.ply", "ply\nformat ascii 1.0\nelement vertex 4000000000\nproperty float x\nproperty float y\n"
                   "property float z\nend_header\n0 0 0\n"},
    {"absurd_binary.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                          "property float z\nelement face 900000000\nproperty list uchar int vertex_indices\n"
                          "end_header\n" + std::string(36, '\0')},
    {"fits.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                 "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"},
    // A face without vertices (Assimp's triangulation would abort), and lists longer than their files.
    {"noface.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                   "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n0\n"},
    // The header ends at its end_header line, not where a comment names it.
    {"comment.ply", "ply\nformat ascii 1.0\ncomment made before end_header\nelement vertex 3\nproperty float x\n"
                    "property float y\nproperty float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                    "end_header\n0 0 0\n1 0 0\n0 1 0\n0\n"},
    // A nameless property: the model reader then makes faces without vertices of the two below.
    {"nameless.ply", "ply\nformat ascii\nelement vertex 5\nproperty float x\n\nproperty uchar\nelement face 2\n"
                     "property list uchar int vertex_indices\nend_header\n0 0 0 2 0 0\n1 0 0 0 2 x\n0\n1\n0\n"},
    // An index that is not a whole number (Assimp reads such a list without end).
    {"fraction.dae", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><library_geometries><geometry id=\"g\"><mesh>"
                     "<triangles count=\"1\"><p>0 1 2.5</p></triangles></mesh></geometry></library_geometries>"
                     "</COLLADA>\n"},
    // An accessor reading 12 values from an array of 3, and a 4 GiB chunk in a small container.
    {"short_array.dae", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><library_geometries><geometry id=\"g\"><mesh>"
                        "<source id=\"s\"><float_array id=\"a\" count=\"3\">0 0 0</float_array>\n<technique_common>"
                        "<accessor source=\"#a\" count=\"4\" stride=\"3\"/></technique_common></source></mesh></geometry>"
                        "</library_geometries></COLLADA>\n"},
    {"no_vcount.dae", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><library_geometries><geometry id=\"g\"><mesh>\n"
                      "<polylist count=\"1\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2</p></polylist>"
                      "</mesh></geometry></library_geometries></COLLADA>\n"},
    {"negative.dae", "<?xml version=\"1.0\"?>\n<COLLADA version=\"1.4.1\"><library_geometries><geometry id=\"g\"><mesh>"
                     "<source id=\"s\"><float_array id=\"a\" count=\"-2\">0 0 0</float_array></source></mesh></geometry>"
                     "</library_geometries></COLLADA>\n"},
    {"huge_chunk.glb", "glTF\x02\0\0\0\x1C\0\0\0\0\0\0\xF9JSON{}      "s},
    // An image's media type without '/', and a string that is not UTF-8.
    {"no_slash.gltf", R"({"asset": {"version": "2.0"}, "images": [{"mimeType": "imagepng", "bufferView": 0}]})"},
    {"not_utf8.gltf", "{\"asset\": {\"version\": \"2.0\", \"generator\": \"\x93\"}}"},
    // A binary glTF whose total length leaves no room for the chunk after its header (1.8 GB asked for).
    {"no_total.glb", "glTF\x02\0\0\0\0\0\0\0\0\0\x07\x6cJSON{}"s},
    // Files whose content the glTF reader declines, which Assimp would hand to other formats' readers.
    {"ascii.glb", "*3DSMAX_ASCIIEXPORT 200\n*SCENE {\n}\n"},
    {"text.gltf", "solid x\nendsolid x\n"},
    {"no_slash_uri.gltf", R"({"asset": {"version": "2.0"}, "images": [{"uri": "data:image-png;base64,iVBORw0KGgo="}]})"},
    // Binary, with an unknown keyword, and the header's last line unended: the reader looped for ever.
    {"unended.ply", "ply\nformat binary_big_endian 1.0\nelem0nt vertex 3\nproperty float x\nend_header"},
    // A control byte in ASCII data: the reader took a list count from past it and asked for 20 GB.
    {"control.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                    "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1\x01 2\n"},
    {"twice.ply", "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nelement vertex 3\nproperty float x\n"
                  "end_header\n0\n1\n0\n1\n2\n"},
    {"longlist.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                     "element face 1\nproperty list int int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n"
                     "2147483648 0 1 2\n"},
    {"longlist_binary.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                            "property float z\nelement face 1\nproperty list uint int vertex_indices\nend_header\n" +
                                std::string(36, '\0') + std::string(4, '\xFF') + std::string(12, '\0')},
    // Textures named on another machine: found by name beside the model and below it.
    {"windows.obj", "mtllib windows.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl w\nf 1 2 3\n"},
    {"windows.mtl", "newmtl w\nmap_Kd D:\\projects\\Wood.PNG\nmap_Bump C:\\gone\\height-map.png\n"},
    {"cars/tail.obj", "mtllib tail.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl t\nf 1 2 3\n"},
    {"cars/tail.mtl", "newmtl t\nmap_Kd D:\\work\\maps\\stone.png\n"},  // the maps folder beside the model's
    {"maps/stone.png", kImage},
    {"early_map.obj", "mtllib early.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl a\nf 1 2 3\n"},
    {"early.mtl", "# a map that belongs to no material\nmap_Kd tex.png\nnewmtl a\nKd 1 0 0\n"},
    {"early_a.obj", "mtllib early_a.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl a\nf 1 2 3\n"},
    {"early_a.mtl", "Ka 0.1 0.1 0.1\0\0a1 1\nnewmtl a\n"s},  // NUL ends a line: "a1 1" has no material
    {"nul_comment.obj", "# a comment\0mtllib early.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"s},  // NUL ends the comment
    {"early_norm.obj", "mtllib early_norm.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl a\nf 1 2 3\n"},
    {"early_norm.mtl", "normx early.png\nnewmtl a\n"},  // the reader takes any "norm..." for a normal map
    {"early_cr.obj", "mtllib early_cr.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl a\nf 1 2 3\n"},
    {"early_cr.mtl", "\xd7\rmap_Kd x.png\nnewmtl a\n"},  // a carriage return ends a statement too
    {"nan.stl", "solid x\nfacet normal 0 0 1\nouter loop\nvertex nan 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\n"
                "endfacet\nendsolid x\n"},
};

// What a file opens into; a failure leaves the document empty.
struct ImportCase {
  const char* file;  // laid down above, or under examples/scenes when it starts with '@'
  const char* error;  // a part of the one error, or empty when the import succeeds
  int objects, materials, lights, layers, views, warnings;
};

const ImportCase kCases[] = {
    {"@showcase.json", "", 9, 9, 5, 3, 1, 0},
    {"@vase.obj", "", 2, 2, 0, 1, 1, 0},
    {"@crate.gltf", "", 2, 2, 2, 1, 1, 0},
    // The normal map is reported and left out.
    {"scene.obj", "", 1, 1, 0, 1, 1, 1},
    {"plain.obj", "", 1, 0, 0, 1, 1, 0},
    {"fits.ply", "", 1, 1, 0, 1, 1, 0},
    {"meshes.json", "", 4, 3, 1, 1, 1, 0},
    {"unknown_keys.json", "", 1, 0, 0, 1, 1, 2},
    {"malformed.json", "line 2", 0, 0, 0, 0, 0, 0},
    {"huge.json", "/objects/3: the primitives of this scene need more than 4000000 vertices", 0, 0, 0, 0, 0, 0},
    {"nan.obj", "vertex 0 is not a finite point", 0, 0, 0, 0, 0, 0},
    {"huge.obj", "vertex 2 is not a finite point", 0, 0, 0, 0, 0, 0},
    {"past.obj", "cannot read the model", 0, 0, 0, 0, 0, 0},
    {"nofaces.obj", "holds points or lines but no faces", 0, 0, 0, 0, 0, 0},
    {"points.ply", "holds points or lines but no faces", 0, 0, 0, 0, 0, 0},
    {"badmaps.obj", "", 1, 1, 0, 1, 1, 2},  // each unreadable map reported
    {"empty.obj", "the file is empty", 0, 0, 0, 0, 0, 0},
    {"garbage.fbx", "cannot read the model", 0, 0, 0, 0, 0, 0},
    {"absurd.ply", "declares 4000000000 \"vertex\" elements", 0, 0, 0, 0, 0, 0},
    {"absurd_binary.ply", "declares 900000000 \"face\" elements", 0, 0, 0, 0, 0, 0},
    {"windows.obj", "", 1, 1, 0, 1, 1, 1},  // the wood found in tex/, the height map reported missing
    {"cars/tail.obj", "", 1, 1, 0, 1, 1, 0},
    {"noface.ply", "face 0 has no vertices", 0, 0, 0, 0, 0, 0},
    {"comment.ply", "face 0 has no vertices", 0, 0, 0, 0, 0, 0},
    {"nameless.ply", "face 0 has no vertices", 0, 0, 0, 0, 0, 0},
    {"twice.ply", "element \"vertex\" is declared twice", 0, 0, 0, 0, 0, 0},
    {"control.ply", "the ASCII data holds a byte that is not text (0x01 at byte 23 of the data)", 0, 0, 0, 0, 0, 0},
    {"unended.ply", "the header's \"end_header\" line has no line end", 0, 0, 0, 0, 0, 0},
    {"fraction.dae", "line 2: the <p> index list holds something other than whole numbers", 0, 0, 0, 0, 0, 0},
    {"short_array.dae", "line 3: an accessor reads 4 x 3 values from \"a\", which holds 3", 0, 0, 0, 0, 0, 0},
    {"huge_chunk.glb", "the binary glTF chunk at byte 12 declares 4177526784 bytes", 0, 0, 0, 0, 0, 0},
    {"no_slash.gltf", "image 0 has the media type \"imagepng\", which has no '/'", 0, 0, 0, 0, 0, 0},
    {"not_utf8.gltf", "the glTF JSON is malformed", 0, 0, 0, 0, 0, 0},
    {"early_map.obj", "early.mtl line 2: \"map_Kd\" comes before any \"newmtl\"", 0, 0, 0, 0, 0, 0},
    {"early_a.obj", "early_a.mtl line 1: \"a1\" comes before any \"newmtl\"", 0, 0, 0, 0, 0, 0},
    {"nul_comment.obj", "early.mtl line 2: \"map_Kd\" comes before any \"newmtl\"", 0, 0, 0, 0, 0, 0},
    {"early_norm.obj", "early_norm.mtl line 1: \"normx\" comes before any \"newmtl\"", 0, 0, 0, 0, 0, 0},
    {"early_cr.obj", "early_cr.mtl line 1: \"map_Kd\" comes before any \"newmtl\"", 0, 0, 0, 0, 0, 0},
    {"no_vcount.dae", "line 3: a <polylist> has no <vcount>", 0, 0, 0, 0, 0, 0},
    {"negative.dae", "line 2: an array declares the count \"-2\", which is not a whole number", 0, 0, 0, 0, 0, 0},
    {"no_total.glb", "the binary glTF declares 0 bytes, too few for its first chunk", 0, 0, 0, 0, 0, 0},
    {"ascii.glb", "the file does not start with \"glTF\": it is not a binary glTF file", 0, 0, 0, 0, 0, 0},
    {"text.gltf", "the file does not start with '{': it is not a glTF file", 0, 0, 0, 0, 0, 0},
    {"no_slash_uri.gltf", "image 0 has the media type \"image-png\", which has no '/'", 0, 0, 0, 0, 0, 0},
    {"longlist.ply", "face 0 lists more items than the file holds", 0, 0, 0, 0, 0, 0},
    {"longlist_binary.ply", "face 0 lists more items than the file holds", 0, 0, 0, 0, 0, 0},
    {"nan.stl", "is not a finite point", 0, 0, 0, 0, 0, 0},
    {"missing.glb", "no such file", 0, 0, 0, 0, 0, 0},
    {"missing.kvd", "cannot open", 0, 0, 0, 0, 0, 0},
    {"tex", "not a regular file", 0, 0, 0, 0, 0, 0},
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.file; }

class ImportFile : public testing::TestWithParam<ImportCase> {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.Ok());
    for (const auto& [name, content] : kFiles) WriteFile(dir / name, content);
  }
  TempDir dir;
};

TEST_P(ImportFile, OpensWithItsPartsOrFailsNamingTheFile) {
  const ImportCase& c = GetParam();
  const std::filesystem::path path = c.file[0] == '@' ? kExamples / (c.file + 1) : dir / c.file;
  CKavraDoc doc;
  doc.AddObject(CKavraObject());  // opening empties the document first
  CImportLog log;
  const bool ok = scene_import::OpenScene(path, doc, log);
  if (*c.error != '\0') {
    EXPECT_FALSE(ok);
    ASSERT_FALSE(log.Errors().empty());
    EXPECT_NE(log.FirstError().find(path.filename().string()), std::string::npos) << log.FirstError();
    EXPECT_NE(log.FirstError().find(c.error), std::string::npos) << log.FirstError();
    EXPECT_EQ(log.FirstError().find('\n'), std::string::npos) << "one line: " << log.FirstError();
    return;
  }
  ASSERT_TRUE(ok) << Joined(log.Errors());
  EXPECT_EQ(std::tuple(doc.ObjectCount(), doc.MaterialTable().Count(), doc.LightTable().Count(),
                       doc.LayerTable().Count(), doc.ViewCount()),
            std::tuple(c.objects, c.materials, c.lights, c.layers, c.views));
  EXPECT_EQ(int(log.Warnings().size()), c.warnings) << Joined(log.Warnings());
  // Every map named in the document is a file that exists.
  for (int i = 0; i < doc.MaterialTable().Count(); ++i) {
    const TK_wString& texture = doc.MaterialTable()[i].TextureBitmapFileName();
    EXPECT_TRUE(texture.IsEmpty() || std::filesystem::exists(doc.ResolveFileName(texture).str())) << texture.ToUtf8();
  }
  // Saved and opened again, the document holds the same.
  ASSERT_TRUE(CKavraDocumentFile().Write(doc, dir / "saved.kvd").Ok());
  CKavraDoc again;
  ASSERT_TRUE(scene_import::OpenScene(dir / "saved.kvd", again, log)) << Joined(log.Errors());
  EXPECT_EQ(std::pair(again.ObjectCount(), again.MaterialTable().Count()), std::pair(c.objects, c.materials));
}

INSTANTIATE_TEST_SUITE_P(Host, ImportFile, testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = info.param.file;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

// The OBJ importer takes the maps of the material library, reflection maps
// included, which Assimp itself drops.
TEST(ObjImport, MaterialsTakeTheirMapsFromTheLibrary) {
  TempDir dir;
  for (const auto& [name, content] : kFiles) WriteFile(dir / name, content);
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(dir / "scene.obj", doc, log)) << Joined(log.Errors());
  ASSERT_EQ(doc.MaterialTable().Count(), 1);
  const TK_Material& m = doc.MaterialTable()[0];
  EXPECT_EQ(std::tuple(m.Name(), m.Diffuse(), m.Specular()),
            std::tuple(TK_wString(L"shiny"), TK_Color(255, 0, 0), TK_Color(128, 128, 128)));
  EXPECT_DOUBLE_EQ(m.Shine(), 64.0 / 128.0 * TK_Material::MaxShine());
  EXPECT_NEAR(m.Transparency(), 0.25, 1e-6);
  EXPECT_EQ(std::tuple(m.TextureBitmapFileName().ToUtf8(), m.BumpBitmapFileName().ToUtf8(), m.EmapBitmapFileName().ToUtf8()),
            std::tuple((dir / "tex/wood.png").string(), (dir / "tex/height.png").string(), (dir / "tex/sky.png").string()));
  EXPECT_TRUE(AnyContains(log.Warnings(), "normal map tex/normal.png left out")) << Joined(log.Warnings());
  // The reflection's gain (-mm) is the renderer's environment amount; the other maps stay on.
  TK_Material stated;
  MaterialRecord record;
  ASSERT_TRUE(renderer_records::ReadMaterialRecord(renderer_records::MaterialRecordBytes(m), stated, record));
  EXPECT_EQ(std::tuple(record.environment.amount, record.environment.enabled, record.texture.enabled, record.bump.enabled),
            std::tuple(0.4, true, true, true));
  EXPECT_EQ(std::pair(doc.RenderMaterialIndex(*doc.ObjectAt(0)), doc.ObjectAt(0)->RenderMesh(0)->FaceCount()),
            std::pair(0, 2));  // the quad, triangulated
}

// Scene descriptions: every mistake is one error naming the place in the
// file and what is wrong.
struct BadJson {  // one row for each rule; the range rows stand for every range
  const char* json;
  const char* message;
};

const BadJson kBadJson[] = {
      {R"({"objects": [{"type": "box"}, {"type": "box"}, {"type": "sphere", "radius": "big"}]})",
       "scene.json: /objects/2/radius: expected a number"},
      {R"({"render": {"sizes": [[10, 10], [0, 5]]}})", "scene.json: /render/sizes/1/0: must be between 1 and 16384, got 0"},
      {R"({"renderer": {"favor_memory": "yes"}})", "scene.json: /renderer/favor_memory: expected true or false"},
      {R"({"lights": [{"type": "lamp"}]})",
       R"(scene.json: /lights/0/type: expected one of "point", "directional", "spot", "linear", "rectangular", got "lamp")"},
      {R"({"lights": [{"type": "spot", "location": [0, 0, 1], "direction": [0, 0, -1], "target": [0, 0, 0]}]})",
       R"(scene.json: /lights/0: give "direction" or "target", not both)"},
      {R"({"lights": [{"type": "point", "location": [0, 0, 1], "attenuation": [0, 0, 0]}]})",
       "scene.json: /lights/0/attenuation: at least one coefficient must be above 0"},
      {R"({"lights": [{"type": "point", "location": [0, 0, 1], "layer": "nowhere"}]})",
       R"(scene.json: /lights/0/layer: no layer named "nowhere")"},
      {R"({"materials": [{"name": "a"}, {"name": "a"}]})", R"(scene.json: /materials/1/name: a material named "a" comes earlier)"},
      {R"({"materials": [{"name": "m", "specular": "#12345g"}]})",
       R"(scene.json: /materials/0/specular: expected a colour: [red, green, blue] with integers 0..255, or "#rrggbb")"},
      {R"({"materials": [{"name": "m", "texture": "a.png", "renderer": {"texture_map": {"file": "b.png"}}}]})",
       R"(scene.json: /materials/0/renderer/texture_map/file: differs from the material's "texture")"},
      {R"({"materials": [{"name": "m", "renderer": {"bump_map": {"tiling": [1]}}}]})",
       "scene.json: /materials/0/renderer/bump_map/tiling: expected an array of 2 numbers"},
      {R"({"objects": [{"type": "box", "material": "nope"}]})", R"(scene.json: /objects/0/material: no material named "nope")"},
      {R"({"objects": [{"type": "box", "translate": [0, 0, 1e300]}]})",
       "scene.json: /objects/0/translate/2: must be between -1e+08 and 1e+08, got 1e+300"},
      {R"({"objects": [{"type": "box", "scale": 0}]})", "scene.json: /objects/0/scale: a scale factor must not be zero"},
      {R"({"objects": [{"type": "torus"}]})",
       R"(scene.json: /objects/0/type: expected one of "box", "sphere", "plane", "cylinder", "mesh", got "torus")"},
      {R"({"objects": [{"type": "mesh", "file": "nothing/here.obj"}]})",
       "scene.json: /objects/0/file: the model could not be imported"},
      {R"({"camera": {"location": [0, 0, 1], "target": [0, 0, 1]}})", "scene.json: /camera/target: must differ from the location"},
      {R"([1, 2])", "scene.json: /: expected an object"},
      {R"({"a/b~c": {"x": 1}, "render": {"width": -3}})", "scene.json: /render/width: must be between 1 and 16384, got -3"},
};

void PrintTo(const BadJson& c, std::ostream* os) { *os << c.json; }

std::string Base64(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    std::uint32_t n = std::uint32_t(bytes[i]) << 16;
    if (left > 1) n |= std::uint32_t(bytes[i + 1]) << 8;
    if (left > 2) n |= bytes[i + 2];
    for (std::size_t k = 0; k < 4; ++k) out += k <= left ? digits[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// A glTF triangle whose texture is a PNG inside the file (a data URI), as downloaded models
// often are: the texture is kept as a file of the cache, with the pixels of the image.
TEST(GltfImport, ATextureInsideTheModelIsKeptAsAFile) {
  TempDir dir;
  CKavraDib red;
  ASSERT_TRUE(red.CreateDib(2, 2, 24, true, nullptr));
  red.DC().FillSolidRect(0, 0, 2, 2, MakeColorRef(200, 10, 20));
  ASSERT_TRUE(red.WriteToFile(TK_wString::FromUtf8((dir / "red.png").string())));
  std::ifstream png_file(dir / "red.png", std::ios::binary);
  const std::vector<std::uint8_t> png{std::istreambuf_iterator<char>(png_file), {}};
  // Three positions, three texture coordinates, three indices.
  std::vector<std::uint8_t> buffer;
  const auto put = [&](const auto& value) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&value);
    buffer.insert(buffer.end(), b, b + sizeof value);
  };
  for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 1.f}) put(v);
  for (std::uint16_t i : {0, 1, 2}) put(i);
  const std::string gltf = R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "TEXCOORD_0": 1}, "indices": 2, "material": 0}]}],
    "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}}],
    "textures": [{"source": 0}], "images": [{"uri": "data:image/png;base64,)" + Base64(png) + R"("}],
    "buffers": [{"byteLength": 66, "uri": "data:application/octet-stream;base64,)" + Base64(buffer) + R"("}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 24},
                    {"buffer": 0, "byteOffset": 60, "byteLength": 6}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
                  {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
                  {"bufferView": 2, "componentType": 5123, "count": 3, "type": "SCALAR"}]})";
  WriteFile(dir / "inside.gltf", gltf);
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(dir / "inside.gltf", doc, log)) << Joined(log.Errors());
  EXPECT_TRUE(log.Warnings().empty()) << Joined(log.Warnings());
  const TK_wString texture = doc.RenderMaterial(*doc.ObjectAt(0)).TextureBitmapFileName();
  CKavraDib kept;
  ASSERT_TRUE(kept.ReadFromFile(texture)) << texture.ToUtf8();
  float r, g, b;
  kept.GetPixel(1, 1, r, g, b);
  EXPECT_EQ(MakeColorRef(std::uint8_t(r * 255 + 0.5f), std::uint8_t(g * 255 + 0.5f), std::uint8_t(b * 255 + 0.5f)),
            MakeColorRef(200, 10, 20));
}

// Map names are stored absolute: a document whose folder moved finds its maps beside it by their
// old path's tail, and says which it cannot find.
TEST(DocumentImport, ADocumentWhoseFolderMovedFindsItsMapsBesideIt) {
  TempDir dir;
  std::filesystem::create_directories(dir / "old" / "tex");
  WriteFile(dir / "old/tex/wood.png", kImage);
  WriteFile(dir / "old/m.mtl", "newmtl m\nmap_Kd tex/wood.png\nmap_Bump tex/gone.png\n");
  WriteFile(dir / "old/m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl m\nf 1 2 3\n");
  {
    CKavraDoc doc;
    CImportLog log;
    ASSERT_TRUE(scene_import::OpenScene(dir / "old/m.obj", doc, log)) << Joined(log.Errors());
    ASSERT_TRUE(CKavraDocumentFile().Write(doc, dir / "old/scene.kvd").Ok());
  }
  std::filesystem::rename(dir / "old", dir / "new");
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(dir / "new/scene.kvd", doc, log)) << Joined(log.Errors());
  ASSERT_EQ(doc.MaterialTable().Count(), 1);
  EXPECT_EQ(std::filesystem::path(doc.MaterialTable()[0].TextureBitmapFileName().ToUtf8()),
            (dir / "new/tex/wood.png").lexically_normal());
  ASSERT_EQ(log.Warnings().size(), 1u) << Joined(log.Warnings());
  EXPECT_NE(log.Warnings()[0].find("bump map not found: " + (dir / "old/tex/gone.png").string()), std::string::npos)
      << log.Warnings()[0];
}

// COLLADA cameras state full angles in degrees, and orthographic ones exist: a vertical angle,
// a horizontal one with the aspect, and an orthographic camera each come in as stated.
TEST(ColladaImport, CamerasComeInWithTheAnglesAndProjectionTheFileStates) {
  const std::string camera_nodes[] = {"yfov", "xfov", "ortho"};
  std::string nodes;
  for (const std::string& n : camera_nodes)
    nodes += "<node id=\"" + n + "\" name=\"" + n + "\"><translate>0 0 5</translate><instance_camera url=\"#" + n +
             "-camera\"/></node>";
  const std::string dae = R"(<?xml version="1.0"?>
<COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
 <asset><up_axis>Y_UP</up_axis></asset>
 <library_cameras>
  <camera id="yfov-camera"><optics><technique_common><perspective><yfov>37.8492</yfov><aspect_ratio>1.5</aspect_ratio>
   <znear>1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
  <camera id="xfov-camera"><optics><technique_common><perspective><xfov>49.13434</xfov><aspect_ratio>1.777778</aspect_ratio>
   <znear>1</znear><zfar>100</zfar></perspective></technique_common></optics></camera>
  <camera id="ortho-camera"><optics><technique_common><orthographic><xmag>3</xmag><aspect_ratio>1.777778</aspect_ratio>
   <znear>1</znear><zfar>100</zfar></orthographic></technique_common></optics></camera>
 </library_cameras>
 <library_geometries><geometry id="tri"><mesh>
  <source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
   <technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
   <param name="Z" type="float"/></accessor></technique_common></source>
  <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
  <triangles count="1"><input semantic="VERTEX" source="#v" offset="0"/><p>0 1 2</p></triangles>
 </mesh></geometry></library_geometries>
 <library_visual_scenes><visual_scene id="s"><node id="m" name="m"><instance_geometry url="#tri"/></node>)" + nodes +
                          R"(</visual_scene></library_visual_scenes>
 <scene><instance_visual_scene url="#s"/></scene>
</COLLADA>)";
  TempDir dir;
  WriteFile(dir / "cameras.dae", dae);
  CKavraDoc doc;
  CImportLog log;
  ASSERT_TRUE(scene_import::OpenScene(dir / "cameras.dae", doc, log)) << Joined(log.Errors());
  std::map<std::wstring, const CKavraView*> views;
  for (int i = 0; i < doc.ViewCount(); ++i) views[doc.ViewAt(i)->View().m_name.str()] = doc.ViewAt(i);
  ASSERT_EQ(views.size(), 3u);
  // The half-angle of the frustum's narrower side, in degrees.
  const auto degrees = [&](const wchar_t* name) {
    double l, r, b, t, n, f;
    views[name]->View().m_vp.GetFrustum(l, r, b, t, n, f);
    return std::atan(std::min(r - l, t - b) / 2 / n) * 180 / std::numbers::pi;
  };
  EXPECT_NEAR(degrees(L"yfov"), 37.8492 / 2, 1e-3);  // the narrower side is the vertical one
  EXPECT_NEAR(degrees(L"xfov"), std::atan(std::tan(49.13434 / 2 * std::numbers::pi / 180) / 1.777778) * 180 / std::numbers::pi, 1e-3);
  EXPECT_TRUE(views[L"ortho"]->View().m_vp.Projection() == TK::parallel &&
              views[L"yfov"]->View().m_vp.Projection() == TK::perspective);
}

// COLLADA opacity is the transparent colour's alpha times `transparency`; exporters that wrote
// `transparency` as its complement (0: opaque) make every material vanish. Such a file is read with
// the other convention and says so; a file with some visible material is read as it states.
TEST(ColladaImport, AFileWhoseEveryMaterialWouldVanishStatesTransparencyAsItsComplement) {
  for (const auto& [stated, expected, warned] : {std::tuple{"0 0", std::vector<double>{0, 0}, true},
                                                 std::tuple{"0 1", std::vector<double>{1, 0}, false}}) {
    std::istringstream values(stated);
    std::string effects, materials, triangles, binds;
    for (int i = 0; i < 2; ++i) {
      std::string t;
      values >> t;
      const std::string n = std::to_string(i);
      effects += "<effect id=\"e" + n + "\"><profile_COMMON><technique sid=\"c\"><phong><transparent><color>1 1 1 1</color>"
                 "</transparent><transparency><float>" + t + "</float></transparency></phong></technique></profile_COMMON></effect>";
      materials += "<material id=\"m" + n + "\" name=\"m" + n + "\"><instance_effect url=\"#e" + n + "\"/></material>";
      triangles += "<triangles count=\"1\" material=\"s" + n + "\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/><p>0 1 2</p></triangles>";
      binds += "<instance_material symbol=\"s" + n + "\" target=\"#m" + n + "\"/>";
    }
    TempDir dir;
    WriteFile(dir / "m.dae", R"(<?xml version="1.0"?><COLLADA xmlns="http://www.collada.org/2005/11/COLLADASchema" version="1.4.1">
<library_effects>)" + effects + "</library_effects><library_materials>" + materials + R"(</library_materials>
<library_geometries><geometry id="g"><mesh><source id="p"><float_array id="pa" count="9">0 0 0 1 0 0 0 1 0</float_array>
<technique_common><accessor source="#pa" count="3" stride="3"><param name="X" type="float"/><param name="Y" type="float"/>
<param name="Z" type="float"/></accessor></technique_common></source><vertices id="v"><input semantic="POSITION" source="#p"/>
</vertices>)" + triangles + R"(</mesh></geometry></library_geometries><library_visual_scenes><visual_scene id="s"><node id="n">
<instance_geometry url="#g"><bind_material><technique_common>)" + binds + R"(</technique_common></bind_material></instance_geometry>
</node></visual_scene></library_visual_scenes><scene><instance_visual_scene url="#s"/></scene></COLLADA>)");
    CKavraDoc doc;
    CImportLog log;
    ASSERT_TRUE(scene_import::OpenScene(dir / "m.dae", doc, log)) << Joined(log.Errors());
    std::vector<double> read;
    for (int i = 0; i < doc.MaterialTable().Count(); ++i) read.push_back(doc.MaterialTable()[i].Transparency());
    EXPECT_EQ(read, expected) << stated;
    EXPECT_EQ(Joined(log.Warnings()).find("read as opaque") != std::string::npos, warned) << Joined(log.Warnings());
  }
}

// A tetrahedron as an ASCII STL, each facet's normal written as `sign` times the outward one.
std::string Tetrahedron(int sign) {
  const float p[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};  // counter-clockwise from outside
  std::ostringstream stl;
  stl << "solid t\n";
  for (const auto& f : faces) {
    const float* a = p[f[0]];
    const float* b = p[f[1]];
    const float* c = p[f[2]];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    stl << "facet normal " << sign * (u[1] * v[2] - u[2] * v[1]) << " " << sign * (u[2] * v[0] - u[0] * v[2]) << " "
        << sign * (u[0] * v[1] - u[1] * v[0]) << "\nouter loop\n";
    for (int k : f) stl << "vertex " << p[k][0] << " " << p[k][1] << " " << p[k][2] << "\n";
    stl << "endloop\nendfacet\n";
  }
  return stl.str() + "endsolid t\n";
}

// Facet normals that contradict the winding (tools that never read them write such files):
// the winding decides, so the model is lit as the one whose normals agree with it.
TEST(StlImport, TheWindingDecidesWhereFacetNormalsContradictIt) {
  TempDir dir;
  WriteFile(dir / "agrees.stl", Tetrahedron(1));
  WriteFile(dir / "contradicts.stl", Tetrahedron(-1));
  for (const char* name : {"agrees.stl", "contradicts.stl"}) {
    CKavraDoc doc;
    CImportLog log;
    ASSERT_TRUE(scene_import::OpenScene(dir / name, doc, log)) << Joined(log.Errors());
    const TK_Mesh& mesh = *doc.ObjectAt(0)->RenderMesh(0);
    for (int f = 0; f < mesh.FaceCount(); ++f) {  // every vertex normal on the outer side of its face
      const TK_3fVector& n = mesh.m_N[std::size_t(mesh.m_F[std::size_t(f)].vi[0])];
      const TK_3fVector& fn = mesh.m_FN[std::size_t(f)];
      EXPECT_GT(n.x * fn.x + n.y * fn.y + n.z * fn.z, 0.0f) << name << " face " << f;
    }
  }
}

class JsonMistake : public testing::TestWithParam<BadJson> {};

TEST_P(JsonMistake, IsOneErrorNamingItsPlace) {
  CKavraDoc doc;
  CImportLog log;
  EXPECT_FALSE(CJsonSceneImporter::ImportText(GetParam().json, "scene.json", "/scenes", doc, log));
  EXPECT_TRUE(Contains(log.Errors(), GetParam().message)) << "expected: " << GetParam().message << "\ngot:\n"
                                                          << Joined(log.Errors());
}

INSTANTIATE_TEST_SUITE_P(Host, JsonMistake, testing::ValuesIn(kBadJson));

}  // namespace
