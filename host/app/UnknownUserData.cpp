#include "host/app/UnknownUserData.h"

#include "host/toolkit/BinaryArchive.h"

TK_OBJECT_IMPLEMENT(CKavraUnknownUserData, TK_UserData, "8CB55436-3AFD-4291-91F5-0E6702866C33")

CKavraUnknownUserData::CKavraUnknownUserData(const TK_UUID& stored_class_id, std::vector<std::uint8_t> bytes)
    : stored_class_id_(stored_class_id), bytes_(std::move(bytes)) {}

std::unique_ptr<TK_Object> CKavraUnknownUserData::DuplicateObject() const {
  return std::make_unique<CKavraUnknownUserData>(*this);
}

bool CKavraUnknownUserData::Write(TK_BinaryArchive& archive) const { return archive.WriteBytes(bytes_); }

bool CKavraUnknownUserData::Read(TK_BinaryArchive&) { return false; }

bool CKavraUnknownUserData::GetDescription(TK_wString& description) {
  description = TK_wString::FromUtf8("user data of unknown class " + stored_class_id_.ToString());
  return true;
}
