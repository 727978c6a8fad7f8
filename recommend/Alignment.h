// Whether a FASTA file holds an alignment or sequences never aligned: the engine needs every
// sequence to have the first one's length, and a file whose lengths differ and that holds no
// gap at all was not aligned. vornak-fit and the R package refuse such a file with the hint.
#pragma once
#include <istream>
#include <string>

namespace recommend {

// The aligner the hint names (Debian's package of the same name).
extern const char* const kAlignCommand;  // "mafft --auto in.fa > aligned.fa"

// Reads the sequences as the engine does (the first line is a header, lines up to the next
// '>' line are joined, a carriage return before a line feed and lines of blanks add nothing;
// a UTF-8 byte-order mark and blank lines before the first header are skipped). Returns ""
// when the lengths agree, some sequence is empty or some holds a gap ('-', '*' or '.'), which
// the engine's own message then names; else one line saying the sequences must be aligned,
// naming the first one whose length differs and the aligner.
std::string unalignedRefusal(std::istream& fasta);

}  // namespace recommend
