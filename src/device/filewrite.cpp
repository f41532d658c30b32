// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/filewrite.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kz {

int appendWhole(int descriptor, QByteArrayView bytes)
{
#ifdef Q_OS_UNIX
    struct stat before { };
    if (::fstat(descriptor, &before) != 0)
        return errno;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int error = n < 0 ? errno : ENOSPC;
        if (done > 0) {
            int cut;
            do
                cut = ::ftruncate(descriptor, before.st_size);
            while (cut != 0 && errno == EINTR);
            // Without appending, the next write would leave a gap of zeros.
            ::lseek(descriptor, before.st_size, SEEK_SET);
        }
        return error;
    }
    return 0;
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(bytes);
    return ENOSYS;
#endif
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString readableFileName(const QByteArray &name)
{
    QString out;
    qsizetype i = 0;
    while (i < name.size()) {
        const auto lead = quint8(name.at(i));
        int length = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead < 0xE0)
            length = 2;
        else if (lead >= 0xE0 && lead < 0xF0)
            length = 3;
        else if (lead >= 0xF0 && lead < 0xF5)
            length = 4;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const qsizetype at = i + k;
            if (at >= name.size() || (quint8(name.at(at)) & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (quint8(name.at(at)) & 0x3F);
        }
        // Longer forms of smaller code points and surrogates are not text.
        const bool valid = length == 1 || length == 2
            || (length == 3 && code >= 0x800 && (code < 0xD800 || code > 0xDFFF))
            || (length == 4 && code >= 0x10000 && code <= 0x10FFFF);
        // Control bytes too: a name must not move the cursor of a terminal.
        if (!valid || (length == 1 && (lead < 0x20 || lead == 0x7F || lead == '\\'))) {
            out += lead == '\\' ? QStringLiteral("\\\\") : QString::asprintf("\\x%02X", lead);
            ++i;
            continue;
        }
        out += QString::fromUcs4(&code, 1);
        i += length;
    }
    return out;
}

QByteArray rawOptionValue(const QByteArrayList &arguments, const char *name,
                          const QString &decoded)
{
    const QByteArray option = QByteArray("--") + name;
    const QByteArray withValue = option + '=';
    QByteArray found;
    bool any = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (argument == "--")
            break;
        QByteArray value;
        if (argument == option && i + 1 < arguments.size())
            value = arguments.at(++i);
        else if (argument.startsWith(withValue))
            value = argument.mid(withValue.size());
        else
            continue;
        // The last one given counts, as for the parser.
        if (QString::fromLocal8Bit(value) == decoded) {
            found = value;
            any = true;
        }
    }
    return any ? found : QFile::encodeName(decoded);
}

} // namespace kz
