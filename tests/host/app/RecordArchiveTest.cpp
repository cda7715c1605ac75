// Stored light styles and view projections: a number that names no style or
// projection fails the record (and never becomes an enumeration value the
// toolkit cannot hold: the sanitizer builds see that).
#include <gtest/gtest.h>

#include "host/app/RecordArchive.h"
#include "support/LittleEndianBytes.h"

namespace {

TEST(RecordArchive, OnlyNumbersThatNameAStyleOrProjectionRead) {
  for (const int number : {-1 << 30, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1 << 30}) {
    LittleEndianBytes light;
    light.Int(number).Bool(true);
    for (const double v : {0., 0., 5., 0., 0., -1., 1., 0., 0., 0., 1., 0.}) light.Double(v);  // location .. width
    light.Color(0xFFFFFF).Double(1).Double(1).Double(0.5).Double(0).Double(1).Double(0).Double(0).String(u"L");
    TK_BinaryArchive light_in(light.bytes);
    TK_Light l;
    EXPECT_EQ(KvReadLight(light_in, l), number >= 1 && number <= 7 && number != 6) << number;

    LittleEndianBytes view;
    view.String(u"V").Int(number);
    for (const double v : {0., -10., 0., 0., 1., 0., 0., 0., 1.}) view.Double(v);  // location, direction, up
    for (const double v : {-1., 1., -1., 1., 1., 100.}) view.Double(v);           // frustum
    for (const double v : {0., 640., 480., 0., 0., 1.}) view.Double(v);          // screen port
    view.String(u"").Bool(false).Int(640).Int(480);
    TK_BinaryArchive view_in(view.bytes);
    CKavraView kv;
    EXPECT_EQ(KvReadView(view_in, kv), number == TK::parallel || number == TK::perspective) << number;
  }
}

}  // namespace
