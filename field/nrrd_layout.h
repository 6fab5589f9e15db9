#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where a NRRD file's data lie, read from its header by the program itself:
// Teem opens a detached data file as soon as it has read the header, even
// when asked for the header alone, so a data file that is a FIFO would block
// it. The names are checked before Teem ever sees the file.
struct NrrdLayout {
    // Bytes of the header, up to and with the blank line that ends it: where
    // attached data start.
    uint64_t headerBytes = 0;
    // The detached data files named by "data file:" (one name, a LIST or
    // SKIPLIST of names, or a "%d" pattern with its first, last and step),
    // relative ones taken from the header's folder; empty for attached data.
    std::vector<std::string> dataFiles;
};

// Reads the layout of the NRRD header at `path`. A "data file:" value whose
// first word holds one conversion of a decimal (%d, %03d; at most 20 digits
// wide) is a pattern, refused with `problem` set unless FIRST, LAST and a
// STEP other than 0 follow; any other value is one file's name.
// Names that follow a pattern are only listed while they name existing
// files and one beyond (each must be checked before it is opened), so a
// pattern over a billion numbers costs no more than the files there are.
bool readNrrdLayout(const std::string& path, NrrdLayout& layout, std::string& problem);
