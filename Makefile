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
