import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** The kitten fishes from the bank: arrows walk, space (or a click) casts the line. */
class CatFishing extends Sprite {
	static inline var WATER = 170;

	var cat = new Sprite();
	var line = new Sprite();
	var hook = 0.0; // depth of the hook below the rod's tip
	var hookDir = 0; // 1 down, -1 up, 0 resting
	var fish:Array<{s:Sprite, v:Float}> = [];
	var caught:Sprite = null;
	var score:flash.text.TextField;
	var count = 0;
	var frame = 0;
	var waves = new Sprite();

	public function new() {
		super();
		Kit.sky(graphics, 0x3FA7E0, 0x1B5E9B, Kit.W, Kit.H);
		Kit.sky(graphics, 0xA8E0FF, 0xE5F6FF, Kit.W, WATER);
		graphics.beginFill(0x8BD36B);
		graphics.drawRect(0, WATER - 40, Kit.W, 40);
		graphics.endFill();
		addChild(waves);
		var g = cat.graphics;
		Kit.fillEach(g, 0xFFA94D, [
			function(g) g.drawEllipse(-22, -30, 44, 40), // body
			function(g) g.drawCircle(0, -48, 20), // head
			function(g) {
				g.moveTo(-18, -58);
				g.lineTo(-14, -76);
				g.lineTo(-4, -64);
			},
			function(g) {
				g.moveTo(18, -58);
				g.lineTo(14, -76);
				g.lineTo(4, -64);
			}
		]);
		g.beginFill(0x333333);
		g.drawCircle(-7, -50, 3);
		g.drawCircle(7, -50, 3);
		g.endFill();
		g.beginFill(0xFF7A8A);
		g.drawCircle(0, -43, 3);
		g.endFill();
		g.lineStyle(4, 0x8A5A3B);
		g.moveTo(15, -20);
		g.lineTo(60, -70); // the rod
		cat.y = WATER - 30;
		cat.x = 120;
		addChild(cat);
		addChild(line);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0x2D9CDB);
		Kit.arrowHint(graphics, 10, 8, [0, 2]);
		for (i in 0...5)
			addFish();
		addEventListener(Event.ENTER_FRAME, tick);
		addEventListener(MouseEvent.MOUSE_DOWN, function(_) throwLine());
	}

	function addFish() {
		var s = new Sprite();
		var colour = Kit.pick([0xFF8C42, 0xFFD23F, 0xFF7AC6, 0x7BD66B, 0xE8383D]);
		Kit.fillEach(s.graphics, colour, [
			function(g) g.drawEllipse(-20, -11, 40, 22),
			function(g) {
				g.moveTo(-16, 0);
				g.lineTo(-32, -12);
				g.lineTo(-32, 12);
			}
		]);
		s.graphics.beginFill(0x222222);
		s.graphics.drawCircle(10, -3, 3);
		s.graphics.endFill();
		var v = (0.8 + Math.random() * 1.8) * (Kit.rand(2) == 0 ? 1 : -1);
		s.scaleX = v > 0 ? 1 : -1;
		s.x = Kit.rand(Kit.W);
		s.y = WATER + 40 + Kit.rand(Kit.H - WATER - 70);
		addChildAt(s, 1);
		fish.push({s: s, v: v});
	}

	function throwLine() {
		if (hookDir == 0 && caught == null)
			hookDir = 1;
	}

	function tick(_) {
		frame++;
		var wg = waves.graphics;
		wg.clear();
		wg.lineStyle(3, 0xFFFFFF, 0.5);
		for (row in 0...3) {
			var y = WATER + 20 + row * 70;
			wg.moveTo(0, y);
			var x = 0;
			while (x < Kit.W) {
				wg.curveTo(x + 20, y + Math.sin((frame + x + row * 40) / 15) * 8, x + 40, y);
				x += 40;
			}
		}
		if (hookDir == 0) {
			if (Kit.isDown(Keyboard.LEFT)) cat.x = Math.max(40, cat.x - 5);
			if (Kit.isDown(Keyboard.RIGHT)) cat.x = Math.min(Kit.W - 90, cat.x + 5);
			if (Kit.isDown(Keyboard.SPACE) || Kit.isDown(Keyboard.DOWN)) throwLine();
		}
		var tipX = cat.x + 60, tipY = cat.y - 70;
		if (hookDir == 1) {
			hook += 7;
			if (tipY + hook > Kit.H - 15)
				hookDir = -1;
		} else if (hookDir == -1) {
			hook -= 6;
			if (hook <= 40) {
				hook = 40;
				hookDir = 0;
				if (caught != null) {
					removeChild(caught);
					caught = null;
					count++;
					score.text = Std.string(count);
					Kit.sparkle(this, tipX, tipY + 40, 0xFFE45C, 12);
					addFish();
				}
			}
		} else {
			hook = 40 + Math.sin(frame / 12) * 4;
		}
		var hy = tipY + hook;
		var g = line.graphics;
		g.clear();
		g.lineStyle(2, 0x333333);
		g.moveTo(tipX, tipY);
		g.lineTo(tipX, hy);
		g.lineStyle(3, 0x666666);
		g.moveTo(tipX, hy);
		g.curveTo(tipX, hy + 10, tipX - 8, hy + 6);
		for (f in fish.copy()) {
			f.s.x += f.v;
			f.s.y += Math.sin((frame + f.s.x) / 20) * 0.4;
			if (f.s.x > Kit.W + 40) f.s.x = -40;
			if (f.s.x < -40) f.s.x = Kit.W + 40;
			if (caught == null && hookDir == 1 && Math.abs(f.s.x - tipX) < 24 && Math.abs(f.s.y - hy) < 16) {
				caught = f.s;
				fish.remove(f);
				hookDir = -1;
			}
		}
		if (caught != null) {
			caught.x = tipX;
			caught.y = hy + 18;
			caught.rotation = -90 + Math.sin(frame / 2) * 15;
		}
	}

	static function main() {
		Kit.start(new CatFishing());
	}
}
