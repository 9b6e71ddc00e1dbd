#pragma once

#include "imaging/PhotoImage.h"

#include <QString>

#include <memory>

namespace lumavo {

// The exchange file through which a picture goes to an outside program and
// comes back ("重新载入"): a 24-bit PNG of a fixed name in a folder of the
// user's own. It outlives the run; nothing deletes it.
inline constexpr const char* kExchangeFileName = "VIVudiz2UR.png";

// The folder holding the exchange file, made when needed. Windows: the
// user's temporary folder. Elsewhere: "lumavo-<uid>" inside the temporary
// folder, private to the user; when that cannot be had (someone else's, or a
// link), the user's cache folder's "lumavo". Ends with a separator; empty
// when no such folder can be made.
QString ExchangeFolder();
// Replaces the folder (tests); empty restores the standard one.
void SetExchangeFolderForTesting(const QString& folder);
// The exchange file's full path; empty when there is no folder.
QString ExchangeFilePath();

// Makes the folder if needed and checks that only the user can write it: a
// real folder (not a link), owned by the user, no write access for others
// (its mode is tightened when it is the user's own), in a parent owned by
// root or the user that others can write only when it is sticky (so no one
// else can swap the folder). False otherwise.
bool EnsurePrivateFolder(const QString& path);

// Writes a copy of the whole picture, converted to 24-bit RGB, as the
// exchange file. The copy's status lands in the picture's lastStatus. A link
// at the file's place is replaced, never followed; a failed write leaves the
// previous file whole. Returns 0 on success; the path used goes to *path.
Status WriteExchangeFile(PhotoImage& picture, QString* path = nullptr);

// Reads the exchange file back as a fresh 32-bit premultiplied picture with
// the given resolution, independent of the file (which is closed again).
// None when there is no file or it is not a picture; the reason goes to *status.
std::unique_ptr<PhotoImage> ReadExchangeFile(float dpi, Status* status = nullptr);

} // namespace lumavo
