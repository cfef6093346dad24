// Message boxes: a modal box on a display, stderr and the error sink when headless.
#pragma once

#include <functional>
#include <string_view>

namespace platform {

// Shows a message with a title. On a display this is a modal box; headless it is written to
// stderr and handed to the error sink instead, never blocking.
void message_box(std::string_view title, std::string_view text);

// Where headless message boxes also go (the program's error log installs one).
using MessageSink = std::function<void(std::string_view title, std::string_view text)>;
void set_message_sink(MessageSink sink);

} // namespace platform
