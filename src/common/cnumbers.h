#pragma once

// Qt's application object takes the C library's locale from the environment (LANG, LC_*).
// Under Russian regional settings printf, strtod and every library built on them then
// write and read "14,4", and a file written there differs from the same file written
// anywhere else. Every process of ours calls this right after making its application
// object: the C library's numbers stay in C notation, while texts, collation, dates' names
// and messages keep the user's settings. Qt's own number texts do not depend on it.
void keepCNumbers();
