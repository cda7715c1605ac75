#pragma once
// CKavraDocumentFile: the .kvd document file, read and written with the
// toolkit archive. After a header (magic, format version) the file is a
// run of chunks, each with a self-checking header (type, payload length,
// payload CRC-32, then a CRC-32 of those fields) and ends with an end
// chunk. Unknown chunks are skipped; a damaged chunk is reported and the
// reader goes on at the next chunk it can trust, so a damaged document
// still opens with what survived. docs/document-format.md describes the
// layout. Saving writes a temporary file beside the target, flushes it and
// renames it over the old file.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

class CKavraDoc;
class KvDocumentDataClient;

struct KvDocumentFileResult {
  enum class Status { ok, damaged, failed };
  Status status = Status::ok;
  // UTF-8 messages, each naming the file (a write to memory names none):
  // what was damaged and dropped (damaged), or the one reason of a failure
  // (failed).
  std::vector<std::string> messages;

  bool Ok() const { return status == Status::ok; }
  bool Failed() const { return status == Status::failed; }
};

class CKavraDocumentFile {
public:
  // Uses the document-data clients registered with the application.
  CKavraDocumentFile();
  // Uses the given clients (not owned) instead.
  explicit CKavraDocumentFile(std::vector<KvDocumentDataClient*> clients);

  // Reads the file into doc (emptied first, events suppressed). Failed
  // means nothing was read and doc is unchanged: missing or unreadable
  // file, not a document, a version this program cannot read. Sets the
  // document's path and clears its modified flag unless failed.
  KvDocumentFileResult Read(const std::filesystem::path& path, CKavraDoc& doc) const;
  // The same from bytes in memory; name stands for the file in messages.
  KvDocumentFileResult Read(std::span<const std::uint8_t> bytes, const std::string& name, CKavraDoc& doc) const;

  // Saves doc, raising the begin-save and end-save events; on failure the
  // old file is left as it was. On success sets the document's path and
  // clears its modified flag. Damaged means saved, but some plug-in could
  // not write its data (named in the messages).
  KvDocumentFileResult Write(CKavraDoc& doc, const std::filesystem::path& path) const;
  // The bytes of the file that Write would save.
  KvDocumentFileResult Write(const CKavraDoc& doc, std::vector<std::uint8_t>& bytes) const;

private:
  std::vector<KvDocumentDataClient*> clients_;
  bool use_app_clients_ = true;
};
