#pragma once

// The library as CSV (UTF-8, RFC 4180 quoting, CR LF between records), one record a row:
//
//   record,slot,disc_id,min_tno,max_tno,info,user_file_byte,music_type,toc,
//       title_disc_id,title_min_tno,title_max_tno,track_count,disc_title,track_titles
//   userfile,1,,,,,,,,,,,,Road Trip,
//   disc,7,0c01a302,1,2,16,5,3,00:02:00 03:10:37 07:01:12,0c01a302,1,2,2,Title,"One
//   Two"
//
// A "userfile" row carries user file k's name in disc_title. In a "disc" row the master
// fields are empty when the disc has no master block (disc_id empty) and the title fields
// when it has no title file (title_min_tno empty); the track titles are joined by line feeds
// (titles never hold one) and track_count tells an empty list from one empty title.

#include "portability/library.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tf::library {

QByteArray toCsv(const Library& library);

// nullopt with the reason in *error, naming the line and the column.
std::optional<Library> fromCsv(const QByteArray& bytes, QString* error);

} // namespace tf::library
