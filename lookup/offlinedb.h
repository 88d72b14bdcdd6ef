#pragma once

// A local copy of the CDDB database in the usual dump layout: one xmcd record a file, at
// <folder>/<category>/<discid>. The files are as untrusted as a server's answers: they pass
// the same size cap and parser, and only plain category words and disc ids ever become part
// of a path.

#include "lookup/cddbresult.h"

#include <QString>

namespace tf {

class OfflineCddb {
public:
    explicit OfflineCddb(QString folder) : m_folder(std::move(folder)) {}

    // Every record filed under the TOC's disc id, in category order. A record whose track
    // count differs from the TOC's belongs to another disc and is left out; one whose offsets
    // differ is offered as a close match. Damaged files are skipped. NoMatch when nothing fits.
    CddbQueryResult query(const CddbToc& toc) const;

    // The record <category>/<discId>: NoMatch when there is none, BadResponse when the file
    // is damaged or far too large, BadRequest for names that are not plain words.
    CddbReadResult read(const QString& category, const QString& discId) const;

    // Whether the folder exists and can be listed.
    bool isUsable() const;

private:
    CddbOutcome load(const QString& category, const QString& discId, CddbDisc* disc) const;

    QString m_folder;
};

} // namespace tf
