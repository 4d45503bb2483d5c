// Format detection: which format a stream or a file holds, and whether a
// file's extension names a readable format. Results are file-type ids of the
// registry; 0 means none was recognised. Nothing here raises.
#pragma once

#include <cstdint>
#include <string>

class TStream;

// The id of the data at the stream's position, or 0; the position is the
// same afterwards. Only the bytes after the position count.
int32_t IEDetectStreamFormat(TStream& stream);
// "RIFF" at the position and "AVI " 8 bytes further on.
bool IEIsAVIStream(TStream& stream);
// The id of a file by its content, weighed against its extension's entry:
// a plug-in extension wins; with verify a disagreement gives 0.
int32_t IEFindFileFormat(const std::string& fileName, bool verify);
// The extension names a readable format (video extensions: includeVideo).
bool IEIsKnownFileFormat(const std::string& fileName, bool includeVideo);
// The file's extension in lower case with its dot ("" when none).
std::string IELowerExtension(const std::string& fileName);
