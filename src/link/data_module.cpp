#include "data_module.h"

#include "link/thread_buff.h"

namespace orv {

static_assert(TThreadBuff::kDefaultFramePause == std::chrono::milliseconds(50));

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

void TmodData::SetSlowExchange(bool slow) {
    cmprtdrvr1.SetReceiveOnArrival(!slow);
}

} // namespace orv
