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

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

demo: build
	@scripts/demo.sh $(CLI)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
