# The two everyday commands: `make run` builds and starts the controller, `make test` builds and
# runs every test; `make unit` runs the fast in-process tests alone, `make lint` the documents'
# links and the workflow lint alone. `make pictures` writes the icons and the interleave test
# pictures in res/ again. `make bench` measures the controller against baselines, `make demo` drives it
# through its commands, menus and dialogs and takes screenshots. `make release` builds what ships,
# lean, in $(BUILD)/release; `make dist` makes the installer and the zip from it in $(BUILD)/dist;
# `make wintest` makes the test kit for Windows there; `make reproduce` checks that a release
# rebuilds byte for byte. All install what is missing first.
BUILD ?= build
RELEASE := $(BUILD)/release
SHIPPED := ZEZIZER lumosend lumowatch lumoauto lumoeyes

ifeq ($(OS),Windows_NT)
CONFIGURE_FLAGS :=
TEST_CONFIGURE_FLAGS :=
DEPS :=
else
CONFIGURE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/tools/toolchain-mingw-i686.cmake
# The tested tree runs under Wine: built for i686, or for x86-64 where this machine runs no 32-bit
# code (tools/wine-arch, asked once the packages are there).
TEST_CONFIGURE_FLAGS = -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/tools/toolchain-mingw-$$(tools/wine-arch | sed 's/win32/i686/; s/win64/x86_64/').cmake
DEPS := tools/install-deps $(BUILD)
endif

# What ships is dated at the last commit's time, so that a rebuild gives the same bytes.
ifeq ($(origin SOURCE_DATE_EPOCH),undefined)
SOURCE_DATE_EPOCH := $(shell git log -1 --format=%ct 2>/dev/null)
endif
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

.PHONY: all deps build release dist wintest run test unit lint pictures bench demo stress clean \
        reproduce

all: build

deps:
	$(if $(DEPS),@$(DEPS))

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release $(TEST_CONFIGURE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j2

# A second tree, built for size and without the tests.
$(RELEASE)/CMakeCache.txt: | deps
	cmake -S . -B $(RELEASE) -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF \
		-DZEZIZER_DIST_DIR=$(abspath $(BUILD))/dist $(CONFIGURE_FLAGS)

release: deps $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j2 --target $(SHIPPED)

dist: release
	cmake --build $(RELEASE) --target dist

# The test programs with what they start and their runner, to run on Windows.
wintest: build
	cmake --build $(BUILD) --target wintest

run: build
	tools/run-controller $(BUILD)

# The install test installs the release's installer; the kit's test runs the Windows test kit.
test: build dist wintest
	tools/run-tests $(BUILD)

# The in-process test programs, seconds in all.
unit: build
	tools/run-tests $(BUILD) -L unit

# The documents' links and the workflow lint: no Wine, no build, only the configured tree (where
# tools/install-deps puts actionlint).
lint: deps $(BUILD)/CMakeCache.txt
	ctest --test-dir $(BUILD) --output-on-failure -L lint

# The pictures the resources hold, made by scripts: the two icons and the interleave test pictures.
pictures:
	python3 tools/make-icon res/controller.ico
	python3 tools/make-icon --lumoauto res/lumoauto.ico
	python3 tools/make-test-pictures res

# The benchmark reports the shipped executable's size and parts beside the tested build's.
bench: build release
	cmake --build $(BUILD) -j2 --target lumobench
	tools/bench/run $(BUILD)

# The demo shows the installer's first page too.
demo: build dist
	tools/demo $(BUILD)

clean:
	rm -rf $(BUILD)

# Builds the release of the last commit twice in scratch folders and compares what ships.
reproduce:
	tools/reproduce

# The long reliability runs: 10,000 random settings states, the hostile-input tests, 4 clients
# with 2,500 calls each, and the Windows test kit run whole under cmd.
stress: build dist wintest
	ZEZIZER_FUZZ_ITERATIONS=10000 ZEZIZER_STRESS_CALLS=2500 ZEZIZER_KIT_WHOLE=1 \
		tools/run-tests $(BUILD) -V -R 'settings_fuzz_test|bad_input_test|load_stress|windows_kit'
