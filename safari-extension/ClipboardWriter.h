// ClipboardWriter: puts text on the desktop clipboard for a program that owns
// no window (the browser native host).
//
//   DesktopClipboardWriter writer;
//   if (auto written = writer.writeText(body); !written) log(written.error().message);
#pragma once

#include <string_view>

#include "ScourletCore/platform/Result.h"

namespace scourlet::nativehost {

class ClipboardWriter {
public:
    virtual ~ClipboardWriter() = default;

    // Replaces the clipboard's content with `text`. Fails, with a message
    // that says why, when the text is not known to be on the clipboard.
    virtual Result<void> writeText(std::string_view text) = 0;
};

}  // namespace scourlet::nativehost
