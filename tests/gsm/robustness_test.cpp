// Frames filled from the wire or a file may hold any bytes: every decoder stays inside the
// frame's data and the buffer, and what it gives encodes back into a sound frame.
#include "gsm/cp1251.h"
#include "gsm/directions.h"
#include "gsm/gprs.h"
#include "gsm/sms.h"

#include "gsm_test_util.h"

#include <gtest/gtest.h>

using namespace orv;
using namespace orv::test;

namespace {

bool SoundFrame(const FrameBuffer& f) {
    const std::size_t length = f[1];
    return f[0] == 0x7E && length >= 5 && length <= frame::kMaxFrame &&
           f[length - 1] == frame::Crc8(f.data(), length - 1);
}

TEST(ArbitraryBytes, DecodersStayInsideAndEncodersStaySound) {
    std::mt19937 rng(3);
    for (int i = 0; i < 3000; ++i) {
        FrameBuffer f;
        for (Byte& b : f) {
            // Mostly small values, so that lengths and types are often plausible.
            b = static_cast<Byte>(rng() % 4 == 0 ? rng() % 256 : rng() % 24);
        }
        if (i % 2 == 0) {
            f[0] = 0x7E;
            frame::SealFrame(f.data(), 5 + rng() % (kFrameBufferSize - 4));
        }
        if (i % 3 == 0) {
            f[3] = static_cast<Byte>(2 + i % 3);
        }

        DirectionsModel t;
        DecodeDirections(f, t);
        for (const DirectionRow& row : t.Rows()) {
            ASSERT_LE(Utf8Length(row.target), kFrameBufferSize);
        }
        FrameBuffer out = f;
        ASSERT_TRUE(EncodeDirections(t, out));
        ASSERT_TRUE(SoundFrame(out));

        for (const Byte code : {Byte{1}, Byte{7}}) {
            SmsModel m;
            m.Setup(code, SmsModel::Family::Other);
            m.RefreshControls(f);
            FrameBuffer sms{};
            ASSERT_FALSE(m.Encode(sms));
            ASSERT_TRUE(SoundFrame(sms));
            ASSERT_LE(sms[1], 4 + 10 * m.RowCount() + 2);
        }

        GprsModel g;
        g.FillFromFrame(f);
        FrameBuffer gprs{};
        if (!g.Encode(gprs) && g.HasApn()) {
            ASSERT_TRUE(SoundFrame(gprs));
        }
    }
}

} // namespace
