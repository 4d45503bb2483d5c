// Loading from URLs: the internet functions, bound by name from "wininet.dll"
// at the I/O unit's start-up, and the downloader that reads an HTTP, HTTPS or
// FTP resource into memory for TImageryIO::LoadFromURL.
#pragma once

#include <cstdint>
#include <string>

#include "imaging/io/imageryio_registry.h"

class TMemoryStream;

// Loads "wininet.dll" and looks up its twelve functions, unless bound
// already. A library that lacks one of them leaves the downloader unbound.
void IEBindWinInet();
// Releases the library and forgets its functions.
void IEUnbindWinInet();
// Every function was found.
bool IEWinInetBound();

// The parts of a URL as the downloader uses them: kind 1 http, 2 https,
// 3 ftp; the path keeps its leading "/".
struct TIEURLParts {
  int32_t Kind = 0;
  std::string Host, Path, User, Password;
  uint16_t Port = 0;
};
// False for another scheme, for a URL without "/" after the host, and for
// "user:password@" credentials without their ":" before the "@". A port that
// is not a number 1..65535 reads as 80.
bool IESplitURL(const std::string& url, TIEURLParts& parts);

// Downloads the URL and appends its bytes to the stream. With a proxy
// ("host:port") the proxy's user and password are used, not the URL's.
// Progress (with a known length) and the abort flag come from the record.
// True only for a whole download: an HTTP status of 200..299, no failed
// read, not aborted, and at least the bytes a Content-Length announced.
// contentType receives the part after "/" of the HTTP content type, or the
// FTP file's lower-case extension.
bool IEDownloadURL(const std::string& url, TMemoryStream& stream, const std::string& proxy,
                   const std::string& proxyUser, const std::string& proxyPassword, const TIEProgressRecord& progress,
                   std::string& contentType);
