#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Puts a whole file in place under its name in one step, so that a crash or a full disk at
// any moment leaves either the old file or the new one under that name, never a part of one.
// The bytes are first written to a staging file beside the target (same file system), flushed
// to the disk, and then renamed onto the target; the folder is flushed too, so the new name
// survives a power loss. One exception: a new name (Mode::NoReplace) on a file system with
// neither hard links nor an exclusive rename is filled by a copy, which a crash can cut short.
namespace atomicfile {

enum class Mode
{
    Replace,   // an existing target is replaced in the same rename
    NoReplace, // an existing target makes the step fail and is left as it was
};

// Copies source to a staging file beside target and puts it in place. False (with the reason
// in *error) when any step failed; target is untouched then and no staging file is left.
bool copy(const QString& source, const QString& target, Mode mode, QString* error = nullptr);

// Writes bytes to a staging file beside target and puts it in place, as copy() does. staging
// names that file where stagingName(target) could be a file of its own in the folder. added
// permissions are given to the file before it takes its name, so it has them from the first
// moment it is there.
bool write(const QByteArray& bytes, const QString& target, Mode mode, QString* error = nullptr,
           const QString& staging = QString(), QFileDevice::Permissions added = {});

// Puts a finished staging file (beside target) in place: flushes it, renames it and flushes
// the folder. The staging file is gone afterwards, whatever the outcome.
bool commit(const QString& staging, const QString& target, Mode mode, QString* error = nullptr);

// Name of the staging file beside target (target + ".part").
QString stagingName(const QString& target);

// The calls that put a staged file in place without replacing an existing one. Tests replace
// them to stand in for file systems without hard links (FAT, exFAT, several network and FUSE
// file systems) or without an exclusive rename.
struct PlaceCalls
{
    int (*link)(const char* from, const char* to) = nullptr;
    int (*renameNoReplace)(const char* from, const char* to) = nullptr;
};

// Installs calls for the whole process and returns the ones before; a null member stands for
// the system's own call.
PlaceCalls setPlaceCalls(const PlaceCalls& calls);

} // namespace atomicfile
