# Front end over CMake. The README's ./play.sh and ./test.sh install what is missing, then come here.
BUILD    ?= build
SANITIZE ?= build-sanitize
ARM      ?= build-arm
JOBS     ?= $(shell nproc)

.PHONY: all configure build run test test-sanitize bench clean art

all: build

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release > /dev/null

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Only the show itself, so playing does not wait for the tests and tools; it reads "musa.xm"
# from the current folder. Without a sound device (status 255) it says what to run instead.
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target show
	@cd assets && ../$(BUILD)/show || { status=$$?; [ $$status -ne 255 ] || \
	  printf '%s\n' "No sound device here. Watch the show without sound: cd assets && SDL_AUDIODRIVER=dummy ../$(BUILD)/show" \
	    "or record it to a video file with: make video" >&2; exit $$status; }

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
art: configure
	cmake --build $(BUILD) -j$(JOBS) --target paint
	$(BUILD)/paint assets/pictures

bench: build
	$(BUILD)/bench

clean:
	rm -rf $(BUILD) $(SANITIZE) $(ARM)

# Regenerates the show's music, assets/musa.xm, with the composer (the file is committed).
.PHONY: music
music: build
	$(BUILD)/compose --out assets/musa.xm

# The ARM soft-float cross build under qemu: the core's tests, frames identical to the desktop's
# and the show program. Needs the desktop build for the picture converter and reference frames.
.PHONY: test-arm
test-arm: build
	scripts/test-arm.sh $(BUILD) $(ARM)
