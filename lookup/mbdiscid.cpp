#include "lookup/mbdiscid.h"

#include <discid/discid.h>

#include <memory>

namespace tf {

std::optional<MbDiscId> mbDiscId(const CddbToc& toc, int firstTrack, QString* error) {
    const int count = toc.trackCount();
    const int last = firstTrack + count - 1;
    // libdiscid takes at most 99 tracks and reads offsets[first..last]; refuse anything else
    // before it touches the array.
    if (count < 1 || firstTrack < 1 || last > 99) {
        if (error)
            *error =
                QStringLiteral("The table of contents has no tracks a disc id can be made of.");
        return std::nullopt;
    }
    int offsets[100] = {};
    offsets[0] = toc.leadOut;
    for (int i = 0; i < count; ++i)
        offsets[firstTrack + i] = toc.trackOffsets.at(i);

    const std::unique_ptr<DiscId, void (*)(DiscId*)> disc(discid_new(), discid_free);
    if (!disc || !discid_put(disc.get(), firstTrack, last, offsets)) {
        if (error)
            *error = QStringLiteral("No MusicBrainz disc id for this table of contents: %1")
                         .arg(disc ? QString::fromUtf8(discid_get_error_msg(disc.get()))
                                   : QStringLiteral("out of memory"));
        return std::nullopt;
    }
    MbDiscId result;
    result.id = QString::fromLatin1(discid_get_id(disc.get()));
    result.toc = QString::fromLatin1(discid_get_toc_string(disc.get()));
    result.submissionUrl = QUrl(QString::fromLatin1(discid_get_submission_url(disc.get())));
    result.firstTrack = firstTrack;
    result.trackCount = count;
    return result;
}

} // namespace tf
