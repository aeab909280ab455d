/// @file
/// Scratch files created safely: the file is made exclusively (it must not exist yet) with
/// owner-only permissions, so that no other process can slip in between choosing a name and
/// creating the file, nor read the user's pages.
#pragma once

#include <QFile>
#include <QString>

namespace Kelmora {

/// Creates and opens (read-write) a new scratch file in ScratchDir, registered for deletion at
/// the end of the program, and returns its name. A name that another process takes first is
/// given up for a new one. extraMode is added to the open mode (QIODevice::Unbuffered, say).
/// Throws TRLException naming the directory when no file can be made.
QString CreateScratchFile(QFile& file, QIODevice::OpenMode extraMode = {});

/// Creates a new folder in ScratchDir that only its owner may enter, registered for deletion at
/// the end of the program (files made in it must be registered too, after it), and returns its
/// name. For files that must carry a given name, such as an attachment. Throws TRLException
/// naming the directory when no folder can be made.
QString CreateScratchFolder();

} // namespace Kelmora
