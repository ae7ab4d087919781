#pragma once
#include <QString>

// Copies the bytes of `from` to `to`; `to` is replaced only when the whole copy was
// written (in place when its folder takes no new file). False when the source cannot be read or the
// destination written.
bool CopyFileAtomically(const QString& from, const QString& to);
