// A page store described as JSON, for people and scripts that want to see what a file holds.
#pragma once

#include <QJsonObject>

namespace Kelmora {

class TRLGraphicStorage;
class TRLGraphicSurface;

QJsonObject DumpPage(const TRLGraphicSurface& page);
QJsonObject DumpStorage(TRLGraphicStorage& storage, int version);

} // namespace Kelmora
