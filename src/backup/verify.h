#pragma once
// The verification of a restore: what was written into a head, read back and compared with
// the backup.
#include <string>
#include <vector>

#include "backup/job_parts.h"
#include "backup/operations.h"

namespace kyr::backup::detail {

// Reads the `type` images of `files` back from head `head` over `session` and compares each
// with the image of the backup's file in `dir`. False with the first difference (and its byte
// offset in the file) in `problem`; false and `problem` empty when an image could not be
// read back.
bool VerifyImages(RestoreJob& job, HeadSession& session, int head, int type,
                  const std::vector<const FileEntry*>& files, const std::string& dir,
                  std::string& problem);

}  // namespace kyr::backup::detail
