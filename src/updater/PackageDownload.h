#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Fetches an address into a file in steps of at most 2048 bytes, writing every step to the
// file at once, so that memory use does not depend on the package size.
namespace updater {

inline constexpr long kReceiveBufferBytes = 2048;

// The "Content-Length" of raw response headers (lines ended by CR LF), 0 when there is none
// or its value is no number.
qint64 GetContentLength(const QByteArray& rawHeaders);

struct DownloadResult
{
    bool opened = false;  // the server answered (any status); false: "打开URL错误"
    qint64 written = 0;   // bytes in the target file
    bool stopped = false; // the step callback asked to stop
    QString error;        // why the transfer ended early, empty when it ran to its end
    // The whole reply is in the file: the transfer ended without error and with as many bytes
    // as the server announced. Anything less is a fragment, never a package.
    bool complete = false;
};

// Called once the reply's headers are in (total from Content-Length, 0 when unknown).
using OpenedCallback = std::function<void(qint64 total)>;
// Called after every step that was written; returns false to stop after this step.
using StepCallback = std::function<bool(qint64 written, qint64 total)>;

// The target file is deleted and created anew as soon as the server answers; when the address
// cannot be opened at all it is left untouched. A failing read keeps what was written so far.
DownloadResult download(const QString& url, const QString& targetFile, const OpenedCallback& opened,
                        const StepCallback& step);

} // namespace updater
