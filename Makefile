# Entry points for people and CI. Every target installs what is missing first.
PRESET ?= default
BUILD_DIR = build/$(PRESET)
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench demo test-asan test-tsan fuzz package format format-check clean

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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build

# The window against a simulated type-16 panel on a pseudo-terminal: enter the printed port in
# the port list ("Порт:") and press "Прочитать". The panel stops when the window closes.
demo: build
	@out=$(BUILD_DIR)/demo-sim.out; \
	./$(BUILD_DIR)/src/sim/orvanta-sim --type 16 --version 6 > $$out & sim=$$!; \
	for i in 1 2 3 4 5 6 7 8 9 10; do [ -s $$out ] && break; sleep 0.5; done; \
	echo "Simulated panel on $$(head -n 1 $$out)"; \
	./$(BUILD_DIR)/src/app/orvanta; kill $$sim
