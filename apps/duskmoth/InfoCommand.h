#pragma once
// `duskmoth info FILE`: what a document, scene description or model holds:
// objects with their triangles, materials with the renderer's settings when
// they carry them, lights, views, render settings and plug-in data blocks.

#include <filesystem>
#include <ostream>

class CKavraDoc;

// Answers the program's exit code (0 described, 1 the file could not be opened).
int RunInfo(const std::filesystem::path& file, std::ostream& out, std::ostream& err);
// The description itself, as plain text lines.
void DescribeDocument(const CKavraDoc& doc, std::ostream& out);
