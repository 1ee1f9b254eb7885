#pragma once
// The verification of a restore: what was written into a head, read back and compared with
// the backup.
#include <string>
#include <vector>

#include "backup/job_parts.h"
#include "backup/operations.h"

namespace kyr::backup::detail {

// Reads the `type` images of `files` back from head `head` and compares them byte by byte
// with the backup's files in `dir`. False with the first difference in `problem`; false and
// `problem` empty when the images could not be read back.
bool VerifyImages(RestoreJob& job, OperationHost& host, int head, int type,
                  const std::vector<const FileEntry*>& files, const std::string& dir,
                  std::string& problem);

}  // namespace kyr::backup::detail
