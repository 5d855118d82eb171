// Words: the words of the installer's own texts: the list file, the
// package command file and the package map, the operator's answers, and
// the keyword lists they are looked up in. Nothing here allocates.
#pragma once

#include <cstddef>

// The next word of a list-file line or a package command line, split at any
// of delimiters (leading ones skipped). A backslash makes the next character
// part of the word: \n, \r and \t stand for line feed, carriage return and
// tab, any other character for itself; a backslash at the very end stays.
// The word goes into out (size bytes, always terminated) and *cursor moves
// past the word and the delimiter that ended it. Yields out, or none when no
// word is left; *cut is set when the word did not fit into out.
char *NextWord(const char **cursor, const char *delimiters, char *out, size_t size, bool *cut);

// 1-based position of word in a delimited list such as ",y,yes,n,no," (the
// separator is the list's first character); 0 when absent, for an empty
// word, and for a word holding the separator, which could otherwise match
// across two entries.
int FindWord(const char *word, const char *list);
