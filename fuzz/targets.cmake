# The fuzz targets (fuzz/fuzz_<name>.cpp) and the libraries each links. fuzz/ builds them for
# libFuzzer; tests/faults replays their corpora in every build.
set(ORVANTA_FUZZ_TARGETS config_file gsm_file read_transaction gsm_frames firmware_image config_views
                         journal_entry)
set(ORVANTA_FUZZ_LIBS_config_file orvanta_files)
set(ORVANTA_FUZZ_LIBS_gsm_file orvanta_files)
set(ORVANTA_FUZZ_LIBS_read_transaction orvanta_protocol orvanta_gsm)
set(ORVANTA_FUZZ_LIBS_gsm_frames orvanta_gsm orvanta_device)
set(ORVANTA_FUZZ_LIBS_firmware_image orvanta_files)
set(ORVANTA_FUZZ_LIBS_config_views orvanta_files orvanta_settings orvanta_report Qt6::Gui)
set(ORVANTA_FUZZ_LIBS_journal_entry orvanta_journal orvanta_files)
