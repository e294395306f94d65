# The two set-up commands of a fresh machine:
#   make demo   installs what is missing, builds, and runs the main job
#   make test   installs what is missing, builds, and runs every test
BUILD    ?= build
TYPE     ?= RelWithDebInfo
SANITIZE ?= OFF
WERROR   ?= OFF
JOBS     ?= $(shell nproc)
CLI      := $(BUILD)/cli/tolmi-cli

.PHONY: all deps configure build test demo format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) -DTOLMI_SANITIZE=$(SANITIZE) -DTOLMI_WERROR=$(WERROR)

# A build folder configured before keeps its type, but follows WERROR.
configure: $(BUILD)/build.ninja
	@grep -qx 'TOLMI_WERROR:BOOL=$(WERROR)' $(BUILD)/CMakeCache.txt || \
	  cmake -DTOLMI_WERROR=$(WERROR) $(BUILD) >/dev/null

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600
	@cat $(BUILD)/e2e-artifacts/*.txt 2>/dev/null || true

demo: build
	@scripts/demo.sh $(CLI)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
