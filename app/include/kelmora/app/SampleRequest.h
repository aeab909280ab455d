/// @file
/// A complete sample request typed into the real request form, for the README's pictures and the
/// timing benchmark: travel by private vehicle with tickets (their equivalent), per-diem days and
/// a registration fee, so that the filling run produces all three documents.
#pragma once

#include <QDate>

namespace Kelmora {

class TFKelmora;

/// Sets every field through the form's own widgets; the return is three days after departure.
/// Throws TRLException when the form lacks one of the fields.
void FillSampleRequest(TFKelmora& form, const QDate& departure);

} // namespace Kelmora
