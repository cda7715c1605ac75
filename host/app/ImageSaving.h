#pragma once
// The host's save dialog for bitmaps: asks where to write an image, starting
// in the bitmap dialog's directory (kind 4), writes it there and remembers
// the folder the dialog ended in as that directory.

class CKavraDib;
class KvFrameWindow;

// False when the user cancels or the write fails (a message box then says
// so); the bitmap's LastSaveName() stays as it was.
bool KvWriteImageWithDialog(CKavraDib& image, KvFrameWindow* parent);
