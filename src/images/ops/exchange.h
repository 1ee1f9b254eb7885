#pragma once
// What the image flows share: the messages of the image services' results, and closing the
// link.
#include "images/ops/image_ops.h"
#include "images/ops/services.h"

namespace kyr::images::detail {

// Shows the message of a failed exchange ("Fail to write USB." without a caption of its
// own for a frame not sent) and sets the failure flag. Nothing for kDone and kAborted: the
// flows show an abort with the images it left.
void ShowImageFailure(ImageOpsContext& ctx, ImageResult result);

// Closes the link, with the closing frame when `closing`. A closing frame that cannot be
// written is reported unless a failure has been shown already: after a dropped link it would
// only repeat that message.
void CloseImageLink(ImageOpsContext& ctx, bool closing);

// The service's progress and abort request as the host shows and reads them: one pending
// window event runs before the abort request is read, so that the Abort button can act.
tool::ServiceHooks HostHooks(ImageOpsContext& ctx);

}  // namespace kyr::images::detail
