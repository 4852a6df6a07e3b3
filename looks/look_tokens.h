// Value extraction from one line of a Look file.
#pragma once

// Finds the first case-sensitive occurrence of `key` in `line`, takes the key
// (and the line feed that ends the line) out, trims white space from the start
// and copies the rest, lower-cased, into `token`. Returns 1 on success and 0
// when the line is empty or lacks the key; on 0 neither buffer is touched.
// `line` is rewritten in place on success (letters keep their case).
// `token` must hold at least strlen(line) + 1 bytes; the buffers must differ.
int get_str_token(char* token, const char* key, char* line);

