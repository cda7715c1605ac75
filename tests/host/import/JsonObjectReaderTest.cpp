#include "host/app/import/JsonObjectReader.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/app/import/ImportLog.h"

namespace {

TEST(JsonObjectReader, ReadsColoursInBothForms) {
  const nlohmann::json v = nlohmann::json::parse(R"({"a": "#FF8000", "b": "#0a0B0c", "c": [1, 2, 255],
    "d": "#fff", "e": [1, 2], "f": [1, 2, 18446744073709551615], "g": ["1", 2, 3]})");
  const std::string file = "f.json";
  CImportLog log;
  CJsonObjectReader r(v, "", file, log);
  TK_Color c;
  EXPECT_TRUE(r.Color("a", c));
  EXPECT_EQ(c, TK_Color(255, 128, 0));
  EXPECT_TRUE(r.Color("b", c));
  EXPECT_EQ(c, TK_Color(10, 11, 12));
  EXPECT_TRUE(r.Color("c", c));
  EXPECT_EQ(c, TK_Color(1, 2, 255));
  const TK_Color before = c;
  EXPECT_FALSE(r.Color("d", c));
  EXPECT_FALSE(r.Color("e", c));
  EXPECT_FALSE(r.Color("f", c));
  EXPECT_FALSE(r.Color("g", c));
  EXPECT_EQ(c, before) << "a failed read leaves the value";
  EXPECT_TRUE(r.Color("absent", c));
  ASSERT_EQ(log.Errors().size(), 4u);
  EXPECT_EQ(log.Errors()[2], "f.json: /f/2: must be between 0 and 255, got 1.84467e+19");
  EXPECT_EQ(log.Errors()[3], "f.json: /g/0: expected an integer 0..255");
}

TEST(JsonObjectReader, IntegersMayBeWrittenWithAPointButNotAFraction) {
  const nlohmann::json v = nlohmann::json::parse(R"({"a": 2.0, "b": 2.5, "c": 1e10, "d": true, "e": -3})");
  const std::string file = "f.json";
  CImportLog log;
  CJsonObjectReader r(v, "/x", file, log);
  int n = 7;
  EXPECT_TRUE(r.Integer("a", n, 0, 9));
  EXPECT_EQ(n, 2);
  EXPECT_FALSE(r.Integer("b", n, 0, 9));
  EXPECT_FALSE(r.Integer("c", n, 0, 9));
  EXPECT_FALSE(r.Integer("d", n, 0, 9));
  EXPECT_TRUE(r.Integer("e", n, -5, 9));
  EXPECT_EQ(n, -3);
  EXPECT_EQ(log.Errors(), (std::vector<std::string>{"f.json: /x/b: expected an integer",
                                                    "f.json: /x/c: must be between 0 and 9, got 1e+10",
                                                    "f.json: /x/d: expected an integer"}));
}

TEST(JsonObjectReader, PointersEscapeKeysAndMessagesStayOnOneLine) {
  EXPECT_EQ(JsonPointerAppend("/a", "b/c~d"), "/a/b~1c~0d");
  EXPECT_EQ(JsonQuoted("two\nlines"), "\"two?lines\"");
  EXPECT_EQ(JsonQuoted(std::string(100, 'x')), "\"" + std::string(60, 'x') + "...\"");
  const nlohmann::json v = nlohmann::json::parse(R"({"k": "a\nb", "used": 1, "spare": 2})");
  const std::string file = "f.json";
  CImportLog log;
  CJsonObjectReader r(v, "/o", file, log);
  int kind = 0, used = 0;
  EXPECT_FALSE(r.Choice("k", kind, {{"x", 1}, {"y", 2}}));
  EXPECT_TRUE(r.Integer("used", used, 0, 5));
  r.WarnUnknownKeys();
  EXPECT_EQ(log.Errors(), std::vector<std::string>{"f.json: /o/k: expected one of \"x\", \"y\", got \"a?b\""});
  EXPECT_EQ(log.Warnings(), std::vector<std::string>{"f.json: /o/spare: unknown key (ignored)"});
}

}  // namespace
