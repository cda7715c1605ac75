#pragma once
// A document with something in every part (settings, sizes, layers,
// materials with user data, objects with several meshes, lights of every
// kind, views, plug-in data), the user-data classes and the document-data
// client it uses, for the document tests.

#include <vector>

#include "host/app/Doc.h"
#include "host/app/DocumentDataClient.h"
#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Object.h"

// A saved record with two fields; registered with the class registry.
class TestNoteUserData : public TK_UserData {
  TK_OBJECT_DECLARE(TestNoteUserData)
public:
  static constexpr const char* kId = "3A0F6A52-8E3B-4C5D-9A3E-1B2C3D4E5F60";
  TestNoteUserData();
  std::unique_ptr<TK_Object> DuplicateObject() const override { return std::make_unique<TestNoteUserData>(*this); }
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;
  bool Archive() const override { return true; }

  TK_wString note;
  int value = 0;
};

// Run-time only: never saved.
class TestVolatileUserData : public TK_UserData {
  TK_OBJECT_DECLARE(TestVolatileUserData)
public:
  TestVolatileUserData();
  bool Write(TK_BinaryArchive& archive) const override { return archive.WriteInt(1); }
  bool Read(TK_BinaryArchive& archive) override { int v; return archive.ReadInt(v); }
};

// A plug-in's document data: a list of ints, written with a count.
class TestDataClient : public KvDocumentDataClient {
public:
  explicit TestDataClient(const char* id) : id_(*TK_UUID::FromString(id)) {}
  TK_UUID DocumentDataPlugInId() const override { return id_; }
  bool HasDocumentData(const CKavraDoc&) const override { return true; }
  bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive) override;
  bool ReadDocumentData(CKavraDoc& doc, TK_BinaryArchive& archive) override;

  std::vector<int> values;
  std::vector<int> read_values;

private:
  TK_UUID id_;
};

inline constexpr const char* kPlugInA = "1706366F-99F0-40D5-AAE1-41131FD6B2F5";
inline constexpr const char* kUnloadedPlugIn = "DEADBEEF-0000-4000-8000-000000000001";
inline constexpr const char* kUnknownClass = "C0FFEE00-1111-4222-8333-444455556666";

TK_Mesh SampleQuadMesh();
TK_Mesh SampleTriangleMesh();
// Fills doc (which should be new) with the sample contents.
void FillSampleDocument(CKavraDoc& doc);
