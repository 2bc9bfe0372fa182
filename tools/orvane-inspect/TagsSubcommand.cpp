// SPDX-License-Identifier: GPL-3.0-or-later
// `orvane-inspect tags FILE...`: the tags of audio files as the tag readers
// give them to the track copy, through the same choice of reader by extension.
#include <optional>

#include <QJsonArray>
#include <QJsonObject>

#include "InspectJson.h"
#include "InspectSubcommand.h"
#include "QELTagLib.h"
#include "QELTagMap.h"

namespace {

using InspectJson::text;

QJsonValue number(const std::optional<double>& value)
{
    return InspectJson::number(value ? std::optional<qint64>(static_cast<qint64>(*value))
                                     : std::nullopt);
}

QJsonObject tagsJson(const QString& file, const QELTagMap& map)
{
    const bool hasArtwork = map.ArtworkState() == QELTagMap::kArtworkEmbedded;
    QJsonObject json;
    json.insert(QStringLiteral("file"), file);
    json.insert(QStringLiteral("title"), text(map.TrackName()));
    json.insert(QStringLiteral("artist"), text(map.ArtistName()));
    json.insert(QStringLiteral("albumArtist"), text(map.AlbumArtist()));
    json.insert(QStringLiteral("album"), text(map.AlbumName()));
    json.insert(QStringLiteral("genre"), text(map.Genre()));
    json.insert(QStringLiteral("composer"), text(map.Composer()));
    json.insert(QStringLiteral("year"), number(map.ReleaseYear()));
    json.insert(QStringLiteral("trackNumber"), number(map.TrackNumber()));
    json.insert(QStringLiteral("trackCount"), number(map.TrackTotal()));
    json.insert(QStringLiteral("discNumber"), number(map.DiscNumber()));
    json.insert(QStringLiteral("discCount"), number(map.DiscTotal()));
    json.insert(QStringLiteral("comment"), text(map.Comment()));
    json.insert(QStringLiteral("hasArtwork"), hasArtwork);
    json.insert(QStringLiteral("artworkMime"),
                hasArtwork ? text(map.ArtworkMimeType()) : QJsonValue(QJsonValue::Null));
    return json;
}

int inspectTags(const InspectRequest& request)
{
    const QELTagLib tags;
    QJsonArray list;
    int read = 0;
    for (const QString& file : request.arguments) {
        // A file TagLib cannot open gets its entry of nulls all the same.
        if (QELTagLib::canOpenFileAtPath(file))
            ++read;
        list.append(tagsJson(file, tags.loadTagsFromFileAtPath(file)));
    }
    if (read == 0)
        return InspectSubcommands::fail(
            QStringLiteral("no audio file with tags could be read among %1").arg(request.input));
    return InspectJson::print(list);
}

[[maybe_unused]] const bool registered = InspectSubcommands::add({
    QStringLiteral("tags"),
    QStringLiteral("the tags of audio files (MP3, MP4 and what else TagLib reads) as the track "
                   "copy reads them"),
    InspectSubcommand::Input::FilesOnly,
    false,
    QStringLiteral("FILE..."),
    {},
    inspectTags,
});

} // namespace
