#pragma once
// CKavraUnknownUserData: user data of a class that is not registered in this
// run (its plug-in is not loaded), read from a document and kept as the
// bytes it was stored with, so that saving writes it back unchanged.

#include <cstdint>
#include <vector>

#include "host/toolkit/Object.h"

class CKavraUnknownUserData : public TK_UserData {
  TK_OBJECT_DECLARE(CKavraUnknownUserData)
public:
  CKavraUnknownUserData() = default;
  CKavraUnknownUserData(const TK_UUID& stored_class_id, std::vector<std::uint8_t> bytes);

  // The class the record was stored as.
  const TK_UUID& StoredClassId() const { return stored_class_id_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  std::unique_ptr<TK_Object> DuplicateObject() const override;
  // Writes the kept bytes as they are. Read cannot know where the record
  // ends and answers false: the document file builds these records itself.
  bool Write(TK_BinaryArchive& archive) const override;
  bool Read(TK_BinaryArchive& archive) override;
  bool GetDescription(TK_wString& description) override;
  bool Archive() const override { return true; }

private:
  TK_UUID stored_class_id_;
  std::vector<std::uint8_t> bytes_;
};
