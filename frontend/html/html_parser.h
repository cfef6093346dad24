// The HTML parser: turns a menu page read from a byte stream into the document tree.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/io/byte_stream.h"

// Reads the whole page and returns a new root node (one reference). A page whose parsing
// stops early (the text ends, or a malformed attribute) still yields the document built so
// far with success; a failure to create the root's parts returns that failure and no root.
OmResult parseHtmlDocument(IByteStream* stream, IObjHash** out);
