// Plays the show described by the JSON block of the page. Every text of the
// show reaches the document through textContent or an attribute setter, and
// every file name through fileUrl(), so nothing in a show can become markup.
(function () {
  'use strict';

  var show = JSON.parse(document.getElementById('show-data').textContent);
  var slides = show.slides || [];
  var TITLE_SECONDS = 4;
  var FADE_MS = 1000;

  var player = document.getElementById('player');
  var stage = document.getElementById('stage');
  var titleScreen = document.getElementById('title-screen');
  var music = document.getElementById('music');
  var playButton = document.getElementById('play');
  var progressFill = document.getElementById('progress-fill');
  var positionText = document.getElementById('position');
  var statusText = document.getElementById('status');
  var strip = document.getElementById('strip');

  // Position 0 is the title screen, 1..slides.length the pictures.
  var position = 0;
  var playing = false;
  var timer = null;
  var current = titleScreen;
  var musicFile = '';

  // A file of the player folder as a relative URL: each path segment is
  // encoded, so a name with '#', '?', '%' or spaces still names that file.
  function fileUrl(name) {
    return name.split('/').map(encodeURIComponent).join('/');
  }

  function element(tag, className, text) {
    var node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function setCredit(id, text) {
    var line = document.getElementById(id);
    if (text) line.querySelector('.value').textContent = text;
    else line.hidden = true;
  }

  document.title = show.title || 'Show';
  document.getElementById('show-title').textContent = show.title || 'Untitled show';
  setCredit('show-created-by', show.createdBy);
  setCredit('show-starring', show.starring);

  function neutralFrame(sign, text) {
    var box = element('div', 'neutral');
    box.appendChild(element('div', 'sign', sign));
    box.appendChild(element('div', 'text', text));
    return box;
  }

  // How a browser turns (clockwise, after mirroring) a picture of each EXIF
  // orientation before the page sees it. Every browser does so for a page
  // opened from the disk, whatever the page asks (image-orientation: none
  // holds only for pictures of the page's own origin, and a file: page has
  // none), so the page undoes it: the show's rotation alone is what turns
  // the stored picture.
  var EXIF_TURNS = {
    2: {turn: 0, mirror: true},
    3: {turn: 180, mirror: false},
    4: {turn: 180, mirror: true},
    5: {turn: 270, mirror: true},
    6: {turn: 90, mirror: false},
    7: {turn: 90, mirror: true},
    8: {turn: 270, mirror: false}
  };

  // The transform that shows a picture of EXIF orientation `orientation`
  // turned by `rotation` degrees, and whether its box ends up on its side.
  function turning(rotation, orientation) {
    var applied = EXIF_TURNS[orientation] || {turn: 0, mirror: false};
    var net = ((rotation - applied.turn) % 360 + 360) % 360;
    return {
      css: 'rotate(' + rotation + 'deg)' + (applied.mirror ? ' scaleX(-1)' : '') + ' rotate(' +
          -applied.turn + 'deg)',
      sideways: net === 90 || net === 270
    };
  }

  // Sizes a picture's frame to the turned picture fitted into the stage,
  // then places the picture and its clips inside it.
  function layout(layer) {
    var frame = layer.querySelector('.frame');
    var photo = frame && frame.querySelector('.photo');
    if (!photo || !photo.naturalWidth) return;
    var turn = turning(layer.slide.rotation, layer.slide.pictureOrientation);
    var w = photo.naturalWidth, h = photo.naturalHeight;
    var boxW = turn.sideways ? h : w, boxH = turn.sideways ? w : h;
    var fit = Math.min(stage.clientWidth / boxW, stage.clientHeight / boxH);
    var frameW = boxW * fit, frameH = boxH * fit;
    frame.style.width = frameW + 'px';
    frame.style.height = frameH + 'px';
    photo.style.width = w * fit + 'px';
    photo.style.height = h * fit + 'px';
    photo.style.transform = 'translate(-50%, -50%) ' + turn.css;
    var playbackW = layer.slide.width || 800, playbackH = layer.slide.height || 600;
    var unit = frameW / playbackW;
    frame.querySelectorAll('.clip').forEach(function (clip) {
      placeClip(clip, frameW, frameH, playbackW, playbackH, unit);
    });
  }

  // locX/locY place the clip's centre: a value from 0 to 1 is a share of the
  // picture's width or height, a larger one pixels of the playback frame.
  // scale multiplies the clip's own size in playback-frame pixels.
  function placeClip(clip, frameW, frameH, playbackW, playbackH, unit) {
    var data = clip.clipData;
    var x = data.x <= 1 ? data.x * frameW : data.x * frameW / playbackW;
    var y = data.y <= 1 ? data.y * frameH : data.y * frameH / playbackH;
    var naturalW = clip.naturalWidth || 133, naturalH = clip.naturalHeight || 100;
    clip.style.width = naturalW * data.scale * unit + 'px';
    clip.style.height = naturalH * data.scale * unit + 'px';
    clip.style.left = x + 'px';
    clip.style.top = y + 'px';
    clip.style.transform = 'translate(-50%, -50%)';
  }

  function addClips(frame, slide, layer) {
    (slide.clips || []).forEach(function (data) {
      var clip;
      if (data.file && !data.missing) {
        clip = element('img', 'clip');
        clip.alt = '';
        clip.addEventListener('load', function () { layout(layer); });
        clip.addEventListener('error', function () { clip.remove(); });
        clip.src = fileUrl(data.file);
      } else {
        clip = element('div', 'clip placeholder', data.name);
      }
      clip.clipData = data;
      clip.setAttribute('data-file', data.name);
      frame.appendChild(clip);
    });
  }

  function buildLayer(index) {
    var slide = slides[index];
    var layer = element('div', 'layer');
    layer.slide = slide;
    layer.setAttribute('data-index', String(index + 1));
    layer.setAttribute('data-file', slide.name);
    layer.setAttribute('data-state', 'loading');
    if (slide.picture) {
      var frame = element('div', 'frame');
      var photo = element('img', 'photo');
      photo.alt = slide.name;
      photo.setAttribute('data-rotation', String(slide.rotation));
      photo.addEventListener('load', function () {
        layer.setAttribute('data-state', 'shown');
        layout(layer);
      });
      photo.addEventListener('error', function () {
        layer.setAttribute('data-state', 'failed');
        frame.replaceWith(neutralFrame('\u26A0', slide.name + ' cannot be shown'));
      });
      photo.src = fileUrl(slide.picture);
      frame.appendChild(photo);
      addClips(frame, slide, layer);
      layer.appendChild(frame);
    } else if (slide.missing) {
      layer.setAttribute('data-state', 'missing');
      layer.appendChild(neutralFrame('\u26A0', slide.name + ' is missing'));
    } else {
      layer.setAttribute('data-state', 'placeholder');
      layer.appendChild(neutralFrame('\u25B6', slide.video ? 'Video: ' + slide.name : slide.name));
    }
    if (slide.caption) {
      var caption = element('div', 'caption');
      caption.appendChild(element('span', '', slide.caption));
      layer.appendChild(caption);
    }
    return layer;
  }

  // The music in effect at a position: the nearest music at or before it,
  // so that a jump plays what the show would be playing there.
  function musicAt(pos) {
    for (var i = pos - 1; i >= 0; --i) {
      if (slides[i].music) return slides[i].music;
    }
    return null;
  }

  function updateMusic() {
    var wanted = position > 0 ? musicAt(position) : null;
    var file = wanted && !wanted.missing ? wanted.file : '';
    if (file !== musicFile) {
      musicFile = file;
      if (file) music.src = fileUrl(file);
      else music.removeAttribute('src');
    }
    if (wanted) music.volume = Math.max(0, Math.min(1, wanted.volume / 100));
    player.setAttribute('data-music', wanted ? wanted.name : '');
    // The default music is the application's, not the show's: a player
    // without it plays the show in silence.
    var note = wanted && wanted.missing && !wanted.application ?
        'music ' + wanted.name + ' is missing' :
        '';
    statusText.textContent = note;
    if (playing && musicFile) {
      var started = music.play();
      if (started && started.catch) started.catch(function () {});
    } else {
      music.pause();
    }
  }

  function updateControls() {
    var total = slides.length;
    positionText.textContent = position === 0 ? 'Title' : position + ' / ' + total;
    progressFill.style.width = (total ? position / total * 100 : 0) + '%';
    document.body.classList.toggle('playing', playing);
    player.setAttribute('data-position', String(position));
    player.setAttribute('data-playing', playing ? 'true' : 'false');
    strip.querySelectorAll('button').forEach(function (button, i) {
      button.classList.toggle('current', i + 1 === position);
    });
    var thumb = strip.children[position - 1];
    if (thumb && thumb.scrollIntoView) thumb.scrollIntoView({block: 'nearest', inline: 'nearest'});
  }

  function schedule() {
    clearTimeout(timer);
    timer = null;
    if (!playing) return;
    var seconds = position === 0 ? TITLE_SECONDS : slides[position - 1].duration;
    timer = setTimeout(function () {
      if (position < slides.length) go(position + 1);
      else setPlaying(false);
    }, seconds * 1000);
  }

  function go(pos) {
    if (pos < 0 || pos > slides.length) return;
    var previous = current;
    var next = pos === 0 ? titleScreen : buildLayer(pos - 1);
    var fade = pos > 0 && slides[pos - 1].crossfade && previous !== next;
    if (next !== titleScreen) stage.appendChild(next);
    previous.classList.remove('current');
    next.classList.add('current');
    if (fade) {
      previous.classList.add('fading');
      next.classList.add('fading');
      // The new layer must be rendered transparent once before the fade.
      void next.offsetWidth;
    } else {
      previous.classList.remove('fading');
      next.classList.remove('fading');
    }
    next.classList.add('shown');
    if (previous !== next) {
      previous.classList.remove('shown');
      if (previous !== titleScreen) {
        if (fade) setTimeout(function () { previous.remove(); }, FADE_MS + 100);
        else previous.remove();
      }
    }
    current = next;
    position = pos;
    layout(next);
    updateControls();
    updateMusic();
    schedule();
  }

  function setPlaying(on) {
    playing = on && slides.length > 0;
    updateControls();
    updateMusic();
    schedule();
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (document.documentElement.requestFullscreen) {
      var asked = document.documentElement.requestFullscreen();
      if (asked && asked.catch) asked.catch(function () {});
    }
  }

  slides.forEach(function (slide, i) {
    var button = element('button');
    button.type = 'button';
    button.title = (i + 1) + ': ' + slide.name;
    if (slide.thumbnail) {
      var img = element('img');
      img.alt = String(i + 1);
      img.addEventListener('error', function () { img.replaceWith(String(i + 1)); });
      // Turned like its slide.
      var turn = turning(slide.rotation, slide.thumbnailOrientation);
      if (turn.sideways) img.className = 'sideways';
      img.style.transform = 'translate(-50%, -50%) ' + turn.css;
      img.src = fileUrl(slide.thumbnail);
      button.appendChild(img);
    } else {
      button.textContent = String(i + 1);
    }
    if (slide.missing) button.classList.add('missing');
    button.addEventListener('click', function () { go(i + 1); });
    strip.appendChild(button);
  });

  document.getElementById('prev').addEventListener('click', function () { go(position - 1); });
  document.getElementById('next').addEventListener('click', function () { go(position + 1); });
  playButton.addEventListener('click', function () { setPlaying(!playing); });
  document.getElementById('fullscreen').addEventListener('click', toggleFullScreen);

  function onKey(event) {
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    switch (event.key) {
      case ' ': setPlaying(!playing); break;
      case 'ArrowRight': go(position + 1); break;
      case 'ArrowLeft': go(position - 1); break;
      case 'f': case 'F': toggleFullScreen(); break;
      default: return;
    }
    event.preventDefault();
  }
  document.addEventListener('keydown', onKey);

  window.addEventListener('resize', function () { layout(current); });

  var idleTimer = null;
  document.addEventListener('mousemove', function () {
    document.body.classList.remove('idle');
    clearTimeout(idleTimer);
    idleTimer = setTimeout(function () { document.body.classList.add('idle'); }, 2500);
  });

  updateControls();

  // "#keys=ArrowRight,ArrowRight" presses those keys once the page is ready,
  // so that a headless browser can be made to show any state of the show.
  var keys = /^#keys=(.*)$/.exec(location.hash);
  if (keys) {
    keys[1].split(',').forEach(function (key) {
      key = decodeURIComponent(key);
      document.dispatchEvent(new KeyboardEvent('keydown', {key: key === 'Space' ? ' ' : key}));
    });
  }
})();
