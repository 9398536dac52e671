// Configuration files: every family round-trips, the document has the agreed form, the reading
// rules hold, and a failed read or save loses nothing.
#include "files/config_file.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "files/safe_save.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <set>

using namespace orv;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TProgramState StateFor(Byte code) {
    TProgramState s;
    s.device = CreateDevice(code);
    return s;
}

// Fills every field the file carries with a random value in its range and returns the payload
// offsets the file does not carry for this model (GSM off).
std::set<int> Randomize(TDevice& d, std::mt19937& rng) {
    auto any = [&rng] { return static_cast<Byte>(rng() & 0xFF); };
    auto flag = [&rng] { return static_cast<Byte>(rng() & 1); };
    for (int p = 0; p < d.L(); ++p) {
        d.SetPayload(p, any());
    }
    std::set<int> skip;
    if (auto* op8 = dynamic_cast<TDevOP8*>(&d)) {
        const auto& l = op8->Layout();
        d.SetPayload(l.devTX, static_cast<Byte>(std::array<int, 3>{0, 1, 3}[rng() % 3]));
        if (l.guardSnd >= 0) {
            d.SetPayload(l.guardSnd, flag());
        }
        skip.insert(l.noArm); // derived by the commit step, never stored in files
        if (l.releOnGsm >= 0) {
            skip.insert(l.releOnGsm);
        }
        if (l.disarmSms >= 0) {
            skip.insert(l.disarmSms);
        }
    } else if (auto* ret = dynamic_cast<TDV15_Ret*>(&d)) {
        d.SetPayload(7, static_cast<Byte>(rng() % 100));
        d.SetPayload(8, static_cast<Byte>(rng() % 100));
        d.SetPayload(11, static_cast<Byte>(rng() & 3));
        d.SetPayload(12, 0);
        skip.insert(2); // recomputed from the zone types when written to a panel
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            ret->SetObject(k, MakeObjectRecord(rng() & 0x3FFFF, static_cast<Byte>(rng() & 3)));
        }
    } else if (dynamic_cast<TDevOP5*>(&d)) {
        for (int p = 0; p < 10; ++p) {
            skip.insert(p); // zones: not written for this family
        }
        const bool gsm = d.DevType != 8;
        const int base = gsm ? 1 : 0;
        if (gsm) {
            d.SetPayload(10, 0);
            skip.insert(15);
            skip.insert(16);
        }
        skip.insert(13 + base);                                            // siren time
        d.SetPayload(14 + (gsm ? 3 : 0), static_cast<Byte>(rng() & 0x80)); // buzzer: bit 7 only
    } else if (dynamic_cast<TDV6_KP2*>(&d)) {
        d.SetPayload(8, flag());
        d.SetPayload(9, 0);
        skip.insert(6);
        skip.insert(10);
        skip.insert(11);
    } else if (dynamic_cast<TDevCnc8*>(&d)) {
        d.SetPayload(5, flag());
        d.SetPayload(6, 0);
        d.SetPayload(8, flag());
        skip.insert(2); // control relay
        skip.insert(9);
        skip.insert(10);
    } else if (dynamic_cast<TDevCnc5*>(&d)) {
        d.SetPayload(8, flag());
        d.SetPayload(11, flag());
        d.SetPayload(12, 0);
        skip.insert(2);
        skip.insert(13);
        skip.insert(14);
    }
    return skip;
}

class EveryType : public ::testing::TestWithParam<Byte> {};

TEST_P(EveryType, RoundTripKeepsEveryCarriedField) {
    test::TempDir dir;
    std::mt19937 rng(GetParam() * 7919u);
    for (int round = 0; round < 20; ++round) {
        TProgramState s = StateFor(GetParam());
        const std::set<int> skip = Randomize(*s.device, rng);
        const std::string path = dir.File("a.cf8");
        ASSERT_TRUE(WriteConfigFile(s, path).ok);
        TProgramState back;
        ASSERT_TRUE(ReadConfigFile(back, path)) << ReadAll(path);
        ASSERT_EQ(back.device->DevType, GetParam());
        for (int p = 0; p < s.device->L(); ++p) {
            if (!skip.count(p)) {
                EXPECT_EQ(back.device->Payload(p), s.device->Payload(p))
                    << "offset " << p << " round " << round;
            }
        }
        if (auto* ret = dynamic_cast<TDV15_Ret*>(s.device.get())) {
            auto* r2 = dynamic_cast<TDV15_Ret*>(back.device.get());
            for (int k = 1; k <= 32; ++k) {
                if (ret->ObjectNumberText(k).empty()) {
                    EXPECT_EQ(r2->GetObject(k), ObjectRecord{}) << k;
                } else {
                    EXPECT_EQ(r2->GetObject(k), ret->GetObject(k)) << k;
                }
            }
        }
        // Writing what was read gives the same document.
        EXPECT_EQ(BuildConfigDocument(back), BuildConfigDocument(s));
    }
}

TEST_P(EveryType, DocumentForm) {
    TProgramState s = StateFor(GetParam());
    const std::string doc = BuildConfigDocument(s);
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n", 0), 0u) << doc.substr(0, 60);
    EXPECT_NE(doc.find("<config version=\"1\" firmName=\"Zelvorin\" FileID=\"8\" progVer=\"4.6.4.4\">\r\n"),
              std::string::npos);
    EXPECT_NE(doc.find("\t<device ID=\"" + std::to_string(GetParam()) + "\" name=\"" +
                       DeviceName(GetParam()) + "\">\r\n"),
              std::string::npos);
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\n') {
            ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    EXPECT_EQ(doc.find("  "), std::string::npos) << "indentation is by tabs";
    EXPECT_NE(doc.find("\n\t\t<"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Codes, EveryType,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

TEST(ConfigDocument, EightZoneElementAndAttributeOrder) {
    TProgramState s = StateFor(16);
    const std::string doc = BuildConfigDocument(s);
    const char* order[] = {"<loops>",
                           "<zone ID=\"1\" PartID=\"0\" tactics=\"7\" rearm=\"1\" CID=\"23\" "
                           "TimeIn=\"30\" TimeOut=\"30\" FireReCheck=\"0\" />",
                           "<PartDep mask=",
                           "<rele AlarmFire=\"51\" CtrlFail=\"16\" />",
                           "<sndWrkTime min=\"2\" />",
                           "<OPsCheck mask=",
                           "<sysCFG Value=\"128\" />",
                           "<GuardSnd On=\"1\" />",
                           "<LampMode mode=\"16\" />",
                           "<devTX ID=\"0\" />",
                           "<SlaveBus BusID=\"1\" />",
                           "<OutsConfig>",
                           "<out ID=\"6\" Value=\"32\" />"};
    std::size_t pos = 0;
    for (const char* piece : order) {
        const std::size_t at = doc.find(piece, pos);
        ASSERT_NE(at, std::string::npos) << piece << "\n" << doc;
        pos = at;
    }
    EXPECT_EQ(doc.find("configMPI"), std::string::npos);
}

TEST(ConfigDocument, AlarmResetKeptForControlPanelsThatEditIt) {
    for (Byte code : {Byte{11}, Byte{17}}) {
        TProgramState s = StateFor(code);
        dynamic_cast<TDevCnc&>(*s.device).SetAutoReset(10);
        const std::string doc = BuildConfigDocument(s);
        const auto buzzer = doc.find("<buzzer Value=");
        const auto rst = doc.find("<autoRst Value=\"10\" />");
        ASSERT_NE(rst, std::string::npos);
        EXPECT_LT(buzzer, rst);
        EXPECT_LT(rst, doc.find("<useTD"));
        TProgramState back;
        ASSERT_TRUE(ReadConfigDocument(back, doc.data(), doc.size()));
        EXPECT_EQ(dynamic_cast<TDevCnc&>(*back.device).GetAutoReset(), 10);
    }
    EXPECT_EQ(BuildConfigDocument(StateFor(3)).find("autoRst"), std::string::npos);
}

// --- reading rules ---------------------------------------------------------------------------

std::string Doc(const std::string& rootAttrs, const std::string& device) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<config " + rootAttrs + ">" + device + "</config>";
}

const std::string kRoot = "version=\"1\" firmName=\"Zelvorin\" FileID=\"8\" progVer=\"4.6.4.4\"";

bool Read(TProgramState& s, const std::string& text) {
    return ReadConfigDocument(s, text.data(), text.size());
}

TEST(ReadingRules, FileIdDecides) {
    TProgramState s;
    EXPECT_TRUE(Read(s, Doc(kRoot, "<device ID=\"5\"/>")));
    EXPECT_FALSE(Read(s, Doc("version=\"1\" FileID=\"7\"", "<device ID=\"5\"/>")));
    EXPECT_FALSE(Read(s, Doc("version=\"1\"", "<device ID=\"5\"/>")));
    EXPECT_FALSE(Read(s, Doc("version=\"1\" FileID=\"8x\"", "<device ID=\"5\"/>")));
    EXPECT_TRUE(Read(s, Doc("version=\"2\" FileID=\"8\" progVer=\"anything\"", "<device ID=\"5\"/>")));
    EXPECT_TRUE(Read(s, Doc("FileID=\"8\"", "<x><DEVICE ID=\"5\"/></x>")));
}

TEST(ReadingRules, UnknownTypesRefusedAndStateKept) {
    TProgramState s = StateFor(4);
    auto before = s.device;
    for (const char* id : {"14", "0", "19", "abc", "-1", "129"}) {
        EXPECT_FALSE(Read(s, Doc(kRoot, std::string("<device ID=\"") + id + "\"/>"))) << id;
        EXPECT_EQ(s.device, before);
    }
    EXPECT_FALSE(Read(s, Doc(kRoot, "")));
    EXPECT_FALSE(Read(s, "<config FileID=\"8\"><device ID=\"5\">"));
    EXPECT_FALSE(Read(s, "not xml at all"));
    EXPECT_FALSE(Read(s, ""));
    EXPECT_EQ(s.device, before);
}

TEST(ReadingRules, SectionsIgnoreCaseItemsDoNot) {
    TProgramState s;
    ASSERT_TRUE(
        Read(s, Doc(kRoot, "<device ID=\"4\"><LOOPS><zone ID=\"2\" PartID=\"3\" tactics=\"6\" rearm=\"0\" "
                           "CID=\"99\" TimeIn=\"1\" TimeOut=\"2\" FireReCheck=\"128\"/>"
                           "<Zone ID=\"3\" PartID=\"5\" tactics=\"1\"/></LOOPS><SndWrkTime min=\"7\"/>"
                           "</device>")));
    const TDevice& d = *s.device;
    EXPECT_EQ(d.GetZonePart(2), 3);
    EXPECT_EQ(d.GetZoneType(2), 6);
    EXPECT_EQ(d.GetZoneRearm(2), 0);
    EXPECT_EQ(d.GetZoneCID(2), 99);
    EXPECT_EQ(d.GetZoneDelay(2, false), 1);
    EXPECT_EQ(d.GetZoneDelay(2, true), 2);
    EXPECT_EQ(d.GetZoneFireReCheck(2), 128);
    EXPECT_EQ(d.GetParam(prmSndWrkTime), 7);
    // "Zone" is not a zone item: zone 3 keeps its factory values.
    EXPECT_EQ(d.GetZoneType(3), 5);
    EXPECT_EQ(d.GetZonePart(3), 0);
}

TEST(ReadingRules, AttributesCountByPosition) {
    TProgramState s;
    ASSERT_TRUE(
        Read(s, Doc(kRoot, "<device ID=\"4\"><loops><zone ID=\"1\" tactics=\"2\" PartID=\"4\" rearm=\"0\" "
                           "CID=\"9\" TimeIn=\"1\" TimeOut=\"2\" FireReCheck=\"0\"/></loops></device>")));
    EXPECT_EQ(s.device->GetZonePart(1), 2);
    EXPECT_EQ(s.device->GetZoneType(1), 4);
}

TEST(ReadingRules, OutOfRangeItemsSkippedValuesKeepLowByte) {
    TProgramState s;
    ASSERT_TRUE(
        Read(s, Doc(kRoot, "<device ID=\"16\"><loops><zone ID=\"9\" PartID=\"1\" tactics=\"1\"/>"
                           "<zone ID=\"0\" PartID=\"1\" tactics=\"1\"/></loops>"
                           "<sysCFG Value=\"257\"/><LampMode mode=\"x1\"/><OutsConfig>"
                           "<out ID=\"7\" Value=\"9\"/><out ID=\"2\" Value=\"-1\"/></OutsConfig></device>")));
    TProgramState fresh = StateFor(16);
    for (int z = 1; z <= 8; ++z) {
        EXPECT_EQ(s.device->GetZoneType(z), fresh.device->GetZoneType(z));
    }
    EXPECT_EQ(s.device->GetParam(prmSysCFG), 1);
    EXPECT_EQ(s.device->GetParam(prmLampMode), 0);
    EXPECT_EQ(s.device->GetOutput(2), 255);
    EXPECT_EQ(s.device->GetOutput(6), 32);
}

TEST(ReadingRules, RearmAnyNonZeroSets) {
    for (const char* value : {"64", "1", "2", "128"}) {
        for (Byte code : {Byte{1}, Byte{13}}) {
            TProgramState s;
            ASSERT_TRUE(
                Read(s, Doc(kRoot, "<device ID=\"" + std::to_string(code) +
                                       "\"><loops><zone ID=\"5\" PartID=\"0\" tactics=\"1\" rearm=\"" +
                                       value + "\"/></loops></device>")));
            EXPECT_NE(s.device->GetZoneRearm(5), 0) << value;
        }
    }
    TProgramState s;
    ASSERT_TRUE(Read(s, Doc(kRoot, "<device ID=\"13\"><loops><zone ID=\"5\" PartID=\"0\" tactics=\"1\" "
                                   "rearm=\"0\"/></loops></device>")));
    EXPECT_EQ(s.device->GetZoneRearm(5), 0);
}

TEST(ReadingRules, EightZoneGsmRequiresItsSubtree) {
    TProgramState s;
    EXPECT_FALSE(Read(s, Doc(kRoot, "<device ID=\"13\"><devTX ID=\"2\"/></device>")));
    EXPECT_FALSE(s.device);
    EXPECT_TRUE(Read(s, Doc(kRoot, "<device ID=\"13\"><devTX ID=\"3\"/></device>")));
    EXPECT_EQ(s.device->GetParam(prmDevTX), 3);
    EXPECT_FALSE(Read(s, Doc(kRoot, "<device ID=\"13\"><devTX ID=\"2\"/><configMPI/></device>")));
}

TEST(ReadingRules, FiveZoneLoopsApplied) {
    TProgramState s;
    ASSERT_TRUE(
        Read(s, Doc(kRoot, "<device ID=\"5\"><loops><zone ID=\"5\" PartID=\"1\" tactics=\"3\" rearm=\"0\" "
                           "CID=\"77\"/><zone ID=\"6\" PartID=\"1\" tactics=\"2\" rearm=\"0\" CID=\"1\"/>"
                           "</loops></device>")));
    EXPECT_EQ(s.device->GetZoneType(5), 3);
    EXPECT_EQ(s.device->GetZoneCID(5), 77);
    EXPECT_EQ(BuildConfigDocument(s).find("loops"), std::string::npos);
}

TEST(ReadingRules, RetranslatorObjects) {
    TProgramState s;
    ASSERT_TRUE(
        Read(s, Doc(kRoot, "<device ID=\"15\"><RetObjects><Obj ID=\"3\" airNum=\"1ABCD\" cfg=\"6\"/>"
                           "<Obj ID=\"33\" airNum=\"1\" cfg=\"1\"/><obj ID=\"4\" airNum=\"1\" cfg=\"1\"/>"
                           "<Obj ID=\"5\" airNum=\"\" cfg=\"1\"/></RetObjects></device>")));
    auto& r = dynamic_cast<TDV15_Ret&>(*s.device);
    EXPECT_EQ(r.GetObject(3), (ObjectRecord{0x42, 0xAB, 0xCD}));
    EXPECT_EQ(r.ObjectCount(), 1);
    const std::string doc = BuildConfigDocument(s);
    EXPECT_NE(doc.find("<Obj ID=\"3\" airNum=\"1ABCD\" cfg=\"2\" />"), std::string::npos);
    EXPECT_EQ(doc.find("<Obj ID=\"5\""), std::string::npos);

    TProgramState kept = StateFor(4);
    auto before = kept.device;
    EXPECT_FALSE(Read(kept, Doc(kRoot, "<device ID=\"15\"><RetObjects><Obj ID=\"1\" airNum=\"10\" cfg=\"1\"/>"
                                       "<Obj ID=\"2\" airNum=\"11\" cfg=\"two\"/></RetObjects></device>")));
    EXPECT_EQ(kept.device, before);
}

TEST(ReadingRules, ThirtyTwoNamedObjectsAllWritten) {
    TProgramState s = StateFor(15);
    auto& r = dynamic_cast<TDV15_Ret&>(*s.device);
    for (int k = 1; k <= 32; ++k) {
        r.SetObject(k, MakeObjectRecord(static_cast<std::uint32_t>(k * 1000), objButton));
    }
    const std::string doc = BuildConfigDocument(s);
    std::size_t count = 0;
    for (std::size_t at = doc.find("<Obj "); at != std::string::npos; at = doc.find("<Obj ", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 32u);
}

TEST(ReadingRules, HostileDocumentsNeitherCrashNorHang) {
    TProgramState s = StateFor(2);
    const auto before = s.device;
    std::string deep = Doc(kRoot, "");
    std::string nest;
    for (int i = 0; i < 100000; ++i) {
        nest += "<a>";
    }
    EXPECT_FALSE(Read(s, "<config FileID=\"8\">" + nest));
    std::string closed = nest;
    for (int i = 0; i < 100000; ++i) {
        closed += "</a>";
    }
    EXPECT_FALSE(Read(s, "<config FileID=\"8\">" + closed + "</config>"));
    EXPECT_FALSE(Read(s, std::string("<config FileID=\"8\">\0<device ID=\"1\"/></config>", 40)));
    EXPECT_EQ(s.device, before);
}

// --- saving ------------------------------------------------------------------------------------

TEST(Saving, FailuresLeaveTheOldFileIntact) {
    test::TempDir dir;
    const std::string path = dir.File("kept.cf8");
    WriteAll(path, "old contents");
    TProgramState s = StateFor(1);

    for (int error : {ENOSPC, EROFS, EACCES}) {
        SetInjectedSaveError(error);
        const SaveResult r = WriteConfigFile(s, path);
        SetInjectedSaveError(0);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find(path), std::string::npos);
        EXPECT_EQ(ReadAll(path), "old contents");
    }
    const SaveResult missing = WriteConfigFile(s, dir.File("gone/x.cf8"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("Папка не найдена"), std::string::npos);
    EXPECT_FALSE(WriteConfigFile(s, dir.path()).ok);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"kept.cf8"}) << "no temporary file is left behind";

    ASSERT_TRUE(WriteConfigFile(s, path).ok);
    TProgramState back;
    EXPECT_TRUE(ReadConfigFile(back, path));
}

TEST(Saving, UnreadableFileRefused) {
    test::TempDir dir;
    TProgramState s;
    EXPECT_FALSE(ReadConfigFile(s, dir.File("none.cf8")));
    EXPECT_FALSE(ReadConfigFile(s, dir.path()));
}

} // namespace
