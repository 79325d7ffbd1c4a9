int limraPchAnchor = 0;
