#pragma once

#include <QString>

namespace tf {

// Where the proxy password is kept: the desktop's secret store when the program was built
// with QtKeychain and a secret service runs on the session bus, otherwise a file in the
// user's config folder that only its owner may read (0600).
class PasswordStore {
public:
    enum class Kind { SecretService, PrivateFile };

    // The store this session offers.
    static Kind detect();
    explicit PasswordStore(Kind kind = detect());
    // A private file at `filePath` (tests, or a custom location).
    static PasswordStore privateFile(const QString& filePath);

    Kind kind() const { return m_kind; }
    // One sentence for the options window: which store is in use.
    QString description() const;
    QString filePath() const { return m_file; }
    static QString defaultFilePath();

    // The stored password; empty when none is stored. False, with the reason, on failure.
    bool read(QString* password, QString* error = nullptr) const;
    // Stores `password`; an empty one removes what was stored.
    bool write(const QString& password, QString* error = nullptr) const;

private:
    bool readFile(QString* password, QString* error) const;
    bool writeFile(const QString& password, QString* error) const;

    Kind m_kind;
    QString m_file;
};

} // namespace tf
