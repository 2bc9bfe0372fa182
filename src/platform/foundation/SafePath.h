// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>

// Every text that comes from a device, a backup manifest or an archive and
// becomes part of a local path passes through here, so that no such text can
// name a file outside the folder it is meant for, overwrite a file by
// accident or make a name the file system refuses.
namespace SafePath {

// The longest file name (in UTF-8 bytes) that Linux file systems take.
constexpr int kDefaultMaxBytes = 255;

// How a file name is made from device text.
struct NameRules {
    // Longest result in UTF-8 bytes; the cut falls between characters (never
    // inside a multi-byte character or between a letter and its accents).
    int maxBytes = kDefaultMaxBytes;
    // Characters replaced besides "/" and control characters (a job that wants
    // names other systems can read passes e.g. "\\?%:*|\"<>").
    QString alsoReplace;
    QChar replacement = QLatin1Char('_');
};

// A single, ordinary file name: not empty, not "." or "..", without "/" or NUL.
bool isPlainName(const QString& name);

// A path relative to a folder that stays inside it: not empty, not absolute,
// no empty, "." or ".." component, no NUL and no line break.
bool isSafeRelativePath(const QString& path);

// The path of an archive entry below the folder it unpacks into: empty and "."
// components are dropped ("./a//b" is "a/b"); empty when the path is absolute,
// holds NUL or a ".." component, or names the folder itself.
QString normalisedRelativePath(const QString& path);

// Device text made into one safe file name: "/", control characters, lone
// surrogates and the rules' extra characters become the replacement; spaces at
// both ends go; each leading "." becomes the replacement, so that nothing made
// from device text is hidden; the result is cut to the rules' byte length, keeping a short
// extension (up to 16 bytes after the last ".", no spaces) when the name has
// one and it leaves room for the rest. Empty when nothing usable remains (also
// for "." and "..").
QString fileName(const QString& text, const NameRules& rules = {});

// As above, with `fallback` (made safe the same way) taking the place of a text
// that gives no usable name. Empty only when the fallback gives none either.
QString fileName(const QString& text, const QString& fallback, const NameRules& rules = {});

// True when `path`, with every symbolic link resolved, is `folder` or lies
// below it. Parts of `path` that do not exist yet are judged by the nearest
// folder that does; a ".." among them is refused, since the folder it would
// climb from is not known yet. False when `folder` does not exist.
bool isInside(const QString& folder, const QString& path);

// How a taken name gets its number: " (n)" ("a (1).mp3", the music, photo and
// message copies) or " n" ("a 1.vcf", the contacts, calendar, note, voicemail,
// app and book copies). Both count from 1 unless the namer is told otherwise.
enum class Numbering { Parenthesised, Spaced };

// What counts as taken.
enum class Taken {
    InFolder = 1,    // a file, folder or link already in the folder
    UsedThisRun = 2, // a name this namer handed out before
    Both = 3,
};

// Hands out file names in one folder that clash neither with what is there nor
// with each other. Names handed out in one run are compared case-folded, so a
// run into a folder on a case-insensitive disk (a USB stick) never gives two
// names for one file. Not thread-safe: one namer per job.
class UniqueNamer {
public:
    UniqueNamer(QString folder, Numbering numbering, Taken taken = Taken::Both,
                NameRules rules = {});

    // The number of the first numbered name (1 unless set; the base name, when
    // free, always comes first).
    void setFirstNumber(int number);

    // A free name for `text` with `extension` (without the dot; empty for
    // none): the safe form of the text, else of the fallback; numbered when
    // taken. The name counts as used from now on. Empty when neither text nor
    // fallback gives a name or no free number is found.
    QString claim(const QString& text, const QString& extension,
                  const QString& fallback = QString());

    // claim() with the folder in front; empty when claim() is.
    QString claimPath(const QString& text, const QString& extension,
                      const QString& fallback = QString());

    // Gives back a name (or path) claimed before whose file could not be
    // written, so that it is neither counted as taken nor numbered around.
    void release(const QString& nameOrPath);

    const QString& folder() const { return m_folder; }

private:
    bool isTaken(const QString& name) const;
    QString numbered(const QString& stem, const QString& suffix, int number) const;

    QString m_folder;
    Numbering m_numbering;
    Taken m_taken;
    NameRules m_rules;
    int m_firstNumber = 1;
    QSet<QString> m_used;
};

} // namespace SafePath
