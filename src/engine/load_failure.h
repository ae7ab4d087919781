#pragma once
// What a load's outcome means for the user: a server's error status, or why nothing came.
#include <QString>

class QWebEngineLoadingInfo;

// "HTTP 404 Not Found"; a status without a known phrase is "HTTP 599".
QString HttpStatusText(int status);

// Why a load failed, in a few words: "the host was not found", "the connection was
// refused", "a TLS error", "the connection timed out", with the browser's own name for the
// error after them.
QString LoadFailureReason(const QWebEngineLoadingInfo& info);
