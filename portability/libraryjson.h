#pragma once

// The library as one JSON document (UTF-8):
//
//   {"format": "trackfen-library", "version": 1,
//    "userFileNames": ["Road Trip", ... eight names],
//    "discs": [{"slot": 7, "discId": "0c01a302", "minTno": 1, "maxTno": 2, "info": 16,
//               "userFileByte": 5, "musicType": 3, "toc": ["00:02:00", "03:10:37", "07:01:12"],
//               "titles": {"discId": "0c01a302", "minTno": 1, "maxTno": 2,
//                          "title": "...", "tracks": ["...", "..."]}}]}
//
// The master fields (discId to toc) are present together or not at all; "titles" is present
// when the disc has a title file.

#include "portability/library.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tf::library {

QByteArray toJson(const Library& library);

// nullopt with the reason in *error: the line and column of a syntax error, or the path of
// the field that is missing or of the wrong kind ("discs[2] (slot 7).toc[3]: ...").
std::optional<Library> fromJson(const QByteArray& bytes, QString* error);

} // namespace tf::library
