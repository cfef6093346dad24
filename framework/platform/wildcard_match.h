// File-name patterns as the native directory search reads them.
#pragma once

// '*' matches any run, '?' one character, letters match in any case. A pattern ending in
// ".*" also matches names without a dot, so "*.*" matches every name.
bool om_wildcard_match(const char* pattern, const char* name);
