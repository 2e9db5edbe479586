#pragma once

#include <QString>
#include <string>
#include <vector>

#include "store/mytypes.h"

// One file's new contents.
struct TFileContents {
  QString FileName;
  std::string Bytes;
  // A file created by the save is made readable by its owner only, as it holds console
  // passwords; an existing file keeps its mode.
  bool OwnerOnly = false;
};

// Writes every file's bytes to a temporary file beside it and replaces the files only once all
// were written, so a failure to open or write any of them leaves all as they were. In a folder
// that takes no new file a writable file is rewritten in place instead; that happens only after
// every file was found to be writable. Raises EZerval "Cannot create file %s" or "Cannot write
// file %s". Should a replacement itself fail after others went through, those keep their new
// contents, the failed one its old, and the error names the failed one.
void SaveFilesTogether(const std::vector<TFileContents>& files);

// SaveOptions, together with further files: either all are replaced or none (as
// SaveFilesTogether). `options` is trimmed only when the files were saved.
void SaveOptions(TOptions& options, const QString& fileName,
                 const std::vector<TFileContents>& alongside);
