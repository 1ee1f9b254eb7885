#pragma once
// The communication tool's message boxes: how each kind of box looks.
#include <string>

#include "link/failure_note.h"
#include "link/result_codes.h"
#include "tool/tool_host.h"

namespace kyr::tool {

// The text of tool string `id` in the process language.
std::string Text(ToolText id);

// "Error" box with the stop icon; `text` replaces the string's own (placeholders filled).
Message ErrorBox(ToolText id);
Message ErrorBox(ToolText id, std::string text);
// Error box without a caption of its own (the box shows the program's title): link
// failures and command frames that could not be sent.
Message TitleErrorBox(ToolText id);
Message TitleErrorBox(ToolText id, std::string text);
// The error box for a file that could not be written at `path`: a link to nothing and a
// target that is no regular file are named as such, anything else "cannot create".
Message CannotWriteBox(const std::string& path);
// "Finish" box with the information icon.
Message FinishBox(ToolText id);
// "Warning" question with Yes and No, the exclamation icon and Yes as the default.
Message WarningQuestion(ToolText id);

// True for the messages of a failed link (open, write, read, reply, head presence), under
// which a host shows the link's failure note as a second line.
bool IsLinkFailureMessage(int string_id);
// `message` with the link's last failure note under its text, when it is a link failure
// message and the note says something; otherwise as it is. When no head unit was found at
// all, a third line says what to do.
Message WithFailureNote(Message message, const link::FailureNote& note);

// Shows the message of a failed OpenLink, or of a CloseLink whose closing frame did not go
// out, in a box without a caption of its own (nothing for kOk).
void ShowLinkFailure(ToolHost& host, link::LinkResult result);
// The same with what the system said about the failure (the link's FailureDetail) on the
// lines below the message; nothing is added when `detail` is empty.
void ShowLinkFailure(ToolHost& host, link::LinkResult result, const std::string& detail);

}  // namespace kyr::tool
