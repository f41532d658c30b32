// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

namespace kz {

// Appends `bytes` to the end of the file open for writing on `descriptor`,
// whole or not at all: on a short write the file is cut back to where the
// bytes began, so that no reader ever sees half of them. 0 when written,
// else the errno of the write that failed (not of the cut after it).
int appendWhole(int descriptor, QByteArrayView bytes);

// The system's words for an errno ("No space left on device").
QString systemErrorText(int error);

// A file name as the system gives it, shown to the user: valid UTF-8 as text,
// any other byte as \xNN, so that two different names never look the same.
QString readableFileName(const QByteArray &name);

// The bytes of the value of --name as the command line gave them: Qt decodes
// arguments as UTF-8 and would turn a name that is not into another one.
// `decoded` is the value Qt read; when no argument matches it, its encoding.
QByteArray rawOptionValue(const QByteArrayList &arguments, const char *name,
                          const QString &decoded);

} // namespace kz
