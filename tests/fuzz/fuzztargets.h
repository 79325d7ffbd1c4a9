// The fuzz targets, one line each (tests/fuzz/fuzz_NAME.cpp); no include guard:
// replay.cpp reads it twice with its own LIMRA_FUZZ_TARGET.
LIMRA_FUZZ_TARGET(receive)
LIMRA_FUZZ_TARGET(config)
LIMRA_FUZZ_TARGET(template)
LIMRA_FUZZ_TARGET(rcf)
LIMRA_FUZZ_TARGET(znm)
LIMRA_FUZZ_TARGET(ini)
LIMRA_FUZZ_TARGET(image)
LIMRA_FUZZ_TARGET(image_model)
LIMRA_FUZZ_TARGET(csv)
LIMRA_FUZZ_TARGET(kept)
LIMRA_FUZZ_TARGET(debug_command)
