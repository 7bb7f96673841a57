#pragma once
// Stateless helpers around paths and files. Paths use "/" on this platform: WithBackslash
// appends "/", and the Windows-only path forms (long-path prefix, 8.3 short form) are the
// identity.

#include <QString>

namespace wavelot {

// The part of text before the first occurrence of separator; all of text when it is absent.
QString TextBefore(const QString& text, const QString& separator);

// path with the folder separator "/" appended unless it already ends with one; "" gives "/".
QString WithBackslash(const QString& path);

// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateFolder(const QString& path);

// True when a file or folder of that path exists.
bool PathExists(const QString& path);

// Text after the last "." of the path (not lower-cased); the whole path without a ".".
QString FileExtension(const QString& path);

// Removes : / \ ? * | < > @ # $ & + = and the double quote (plus NUL, which no file name may
// hold). A result of "." or ".." becomes empty, so a station title can never name the parent
// or the same folder when it is used as a folder name.
QString CleanFileName(const QString& text);

// Login name of the current user; empty when it cannot be found.
QString UserName();

// Identity on this platform (no 8.3 names, no long-path prefix).
QString ShortPath(const QString& path);
QString LongPathForm(const QString& path, bool allowPrefix = true);

}  // namespace wavelot
