# Entry points for people and CI. Every target installs what is missing first.
PRESET ?= default
BUILD_DIR = build/$(PRESET)
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench demo test-asan test-tsan fuzz fuzz-build fuzz-short fuzz-corpus package format \
        format-check clean check-windows

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	./$(BUILD_DIR)/src/app/orvanta

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset $(PRESET) -j $(JOBS)

# Full reads and writes of the largest configurations against the paced simulated panel, in the
# fast exchange and in the compatible one (replies taken every 500 ms): each against its wire
# time at 9600 bit/s and the fast exchange's floor (the wire time plus one 50 ms frame pause
# before every request but the first; goal: within 1.10 times the floor). Then a firmware
# update of the largest image against the simulated loader at 115200 bit/s, against its wire
# time (goal: within 1.10 times).
# Then building the named settings of the two largest configurations and comparing them, each
# under 1 ms; setting one key and applying a 200-setting template to each, under 1 ms, and
# orvanta-cli apply --port within a read and a write of the same panel plus 0.2 s; and the report
# of each as PDF, under 300 ms.
# Last, the journal: a database of 100,000 generated entries, recording an entry of the largest
# configuration (under 20 ms), a list's first page (under 100 ms), searches (under 10 ms), the sites
# and their window (under 200 ms), CSV of every entry (under 2 s), its size (under 200 MB).
# Then the journal shared through a PostgreSQL server of the benchmark's own: 10,000 new entries
# sent (under 30 s), a synchronisation with nothing new (under 50 ms), the checks of the rows
# another journal fetches (under 10 % of fetching the 10,000); skipped with a note when no server
# can be started.
# BENCH_RUNS sets how many runs each figure is the median of (settings_bench: thousands of runs,
# report_bench: tens).
BENCH_RUNS ?= 3
bench: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target link_bench firmware_bench settings_bench report_bench \
	  journal_bench journal_sync_bench templates_bench orvanta-sim
	./$(BUILD_DIR)/bench/link_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/firmware_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/settings_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/templates_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/report_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/journal_bench $(BENCH_RUNS)
	./$(BUILD_DIR)/bench/journal_sync_bench $(BENCH_RUNS)

# The suite under AddressSanitizer and UndefinedBehaviorSanitizer (preset asan, its own build
# tree): any report fails its test. Everything below the windows: the model, files, settings,
# reports, the journal and its synchronisation, the link, the command-line tool over faulty lines
# and against every attack, the fuzz findings. The window and dialog tests, the command-line
# tool's end-to-end runs (the same code as the fault and attack suites), the paced repetitions of
# the exchange tests (the same code, waiting longer) and the checks of the sources run in make
# test; the shared journal's fault schedules run one seed here.
ASAN_DIRS = device document faults files gsm journal link report settings
SAN_ENV = QT_QPA_PLATFORM=offscreen ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
          UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" ORVANTA_JOURNAL_SEEDS=1
test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS) --target $(foreach dir,$(ASAN_DIRS),tests/$(dir)/all) orvanta-cli \
	  orvanta-sim
	for dir in $(ASAN_DIRS); do \
	  $(SAN_ENV) ctest --test-dir build/asan/tests/$$dir -E '/Slow|_Slow' -j $(JOBS) --output-on-failure || exit 1; \
	done

# The serial link under ThreadSanitizer: port driver, protocol worker, the end-to-end tests
# against the simulated panel and the worker and the command-line tool over a faulty line; and the
# journal's synchronisation threads against a PostgreSQL server. Only these are built; any report
# fails its test.
TSAN_ENV = QT_QPA_PLATFORM=offscreen \
           TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp"
test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS) --target tests/link/all tests/e2e/all fault_e2e_tests orvanta-sim \
	  orvanta-cli journal_sync_tests
	for dir in tests/link tests/e2e; do \
	  $(TSAN_ENV) ctest --test-dir build/tsan/$$dir -j $(JOBS) --output-on-failure || exit 1; \
	done
	$(TSAN_ENV) ctest --test-dir build/tsan/tests/faults -R 'LineFault|LineGone|CliFault' -j $(JOBS) \
	  --output-on-failure
	$(TSAN_ENV) ctest --test-dir build/tsan/tests/journal -R 'JournalSync' -j $(JOBS) --output-on-failure

# The fuzz targets (fuzz/) built with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (preset fuzz), each run for FUZZ_SECONDS from its seed corpus; anything found fails the run and
# is left in fuzz-out/<target>/. fuzz-short is the pass CI makes. fuzz-corpus writes the seed
# corpora anew.
FUZZ_TARGETS = config_file gsm_file read_transaction gsm_frames firmware_image config_views journal_entry \
               journal_rows
FUZZ_SECONDS ?= 60
FUZZ_SHORT_SECONDS ?= 10
fuzz-build: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	./fuzz/run $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-short: fuzz-build
	./fuzz/run $(FUZZ_SHORT_SECONDS) $(FUZZ_TARGETS)

fuzz-corpus: fuzz-build
	./build/fuzz/fuzz/fuzz_make_corpus fuzz/corpus

# Every source but the simulator's compiled in syntax-only mode by Debian's mingw-w64 compiler
# against the Qt headers (the compiler is installed for this target only): what would break a
# Windows build breaks here.
check-windows: deps
	./scripts/install-deps windows
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS) --target check-windows

# A Debian package of the program, the command-line tool and the simulator.
package: build
	cd $(BUILD_DIR) && cpack

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build

# The window against a simulated panel (DEMO_TYPE, default 16) with its port already chosen and
# settings of its own, so the user's stored settings stay untouched.
DEMO_TYPE ?= 16
demo: build
	./scripts/demo $(BUILD_DIR) $(DEMO_TYPE)
