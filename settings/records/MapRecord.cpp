#include "settings/records/MapRecord.h"

#include "host/toolkit/BinaryArchive.h"

MapRecord MapRecord::BumpDefaults() {
  MapRecord map;
  map.amount = 0.025;
  map.filter = 0;
  return map;
}

bool MapRecord::Write(TK_BinaryArchive& a) const {
  return a.WriteBool(enabled) && a.WriteDouble(amount) && a.WriteDouble(offset_u) && a.WriteDouble(offset_v) &&
         a.WriteDouble(tiling_u) && a.WriteDouble(tiling_v) && a.WriteString(file_name) && a.WriteInt(filter);
}

bool MapRecord::Read(TK_BinaryArchive& a, bool with_filter) {
  if (!(a.ReadBool(enabled) && a.ReadDouble(amount) && a.ReadDouble(offset_u) && a.ReadDouble(offset_v) &&
        a.ReadDouble(tiling_u) && a.ReadDouble(tiling_v) && a.ReadString(file_name)))
    return false;
  return !with_filter || a.ReadInt(filter);
}
