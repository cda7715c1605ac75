#pragma once
// KvDocumentDataClient: how a loaded plug-in takes part in saving and
// reading documents. The document file calls every client registered with
// the application (CKavraApp::RegisterDocumentDataClient): on saving, a
// client with data writes its block into a memory archive; on reading, it
// gets its block, and only its own, as a memory archive. A block whose read
// fails is reported and costs nothing else. Clients are owned by the plug-in.

#include "host/toolkit/Uuid.h"

class CKavraDoc;
class TK_BinaryArchive;

class KvDocumentDataClient {
public:
  virtual ~KvDocumentDataClient() = default;
  // The plug-in's identifier, which frames its block in the file.
  virtual TK_UUID DocumentDataPlugInId() const = 0;
  virtual bool HasDocumentData(const CKavraDoc& doc) const = 0;
  virtual bool WriteDocumentData(const CKavraDoc& doc, TK_BinaryArchive& archive) = 0;
  virtual bool ReadDocumentData(CKavraDoc& doc, TK_BinaryArchive& archive) = 0;
};
