#pragma once
// A plug-in library opened once. The library is opened, and what was opened
// is judged by the rule for code (core/trustedcode.h): its owner and mode
// from the open file, the folders of its name and the folders of the file
// it turned out to be. Its bytes are read from that open file, and a private
// copy of them, in a folder of this user's own, is what the check process
// checks and what the editor loads: a file or folder renamed in the plug-ins
// folder meanwhile cannot change what runs. The fingerprint of the bytes
// tells a library replaced since its registration from the registered one.
// The copy is removed with the object (a loaded library stays loaded).
#include <QString>

namespace lumrik {

class PluginFile {
public:
    explicit PluginFile(const QString &path);
    ~PluginFile();
    PluginFile(const PluginFile &) = delete;
    PluginFile &operator=(const PluginFile &) = delete;

    bool ok() const { return reason_.isEmpty(); }
    // Why the library cannot be used, in Swedish ("" when it can).
    QString reason() const { return reason_; }
    // The library as found in the plug-ins folder.
    QString path() const { return path_; }
    // The SHA-256 of the bytes read, in hexadecimal.
    QString fingerprint() const { return fingerprint_; }
    // The private copy to check and to load.
    QString copyPath() const { return copy_; }

    // The largest library taken.
    static constexpr qint64 kMaxBytes = qint64(512) << 20;

private:
    QString path_, reason_, fingerprint_, copy_, folder_;
};

}
