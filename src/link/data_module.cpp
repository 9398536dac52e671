#include "data_module.h"

namespace orv {

TmodData::TmodData(QObject* parent) : QObject(parent), cmprtdrvr1(this) {
    setObjectName(QStringLiteral("modData"));
    cmprtdrvr1.setObjectName(QStringLiteral("cmprtdrvr1"));
    Configure_cmprtdrvr1(cmprtdrvr1);
    cmprtdrvr1.SetOnReceiveData([this](TCommPortDriver&, const Byte* data, int count) {
        RxBuf.Append(data, static_cast<std::size_t>(count));
    });
}

TmodData::~TmodData() {
    cmprtdrvr1.ClosePort();
}

} // namespace orv
