# Front end over CMake. The README's ./play.sh and ./test.sh install what is missing, then come here.
BUILD    ?= build
SANITIZE ?= build-sanitize
JOBS     ?= $(shell nproc)

.PHONY: all build run test test-unit test-sanitize bench clean art

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(BUILD) -j$(JOBS)

# The show reads "musa.xm" from the current folder.
run: build
	cd assets && ../$(BUILD)/show

test: build test-sanitize
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The core's tests again under the address and undefined-behaviour sanitizers.
test-sanitize:
	cmake -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHOW_SANITIZE=ON \
	  -DSHOW_SHELL=OFF -DSHOW_TOOLS=OFF -DSHOW_BENCH=OFF > /dev/null
	cmake --build $(SANITIZE) -j$(JOBS)
	ctest --test-dir $(SANITIZE) -L core --output-on-failure -j$(JOBS)

# Paints the seventeen pictures again into assets/pictures/ (the PNGs are committed; the build
# converts them into the program).
art:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build $(BUILD) -j$(JOBS) --target paint
	$(BUILD)/paint assets/pictures

bench: build
	$(BUILD)/bench

clean:
	rm -rf $(BUILD) $(SANITIZE)

# Regenerates the show's music, assets/musa.xm, with the composer (the file is committed).
.PHONY: music
music: build
	$(BUILD)/compose --out assets/musa.xm
