import flash.display.Sprite;
import flash.events.Event;
import flash.ui.Keyboard;

/** Fly the little rocket: arrows move it, space shoots stars at the rocks. */
class SpaceShip extends Sprite {
	var ship = new Sprite();
	var sky = new Sprite();
	var shots:Array<Sprite> = [];
	var rocks:Array<{s:Sprite, v:Float, spin:Float}> = [];
	var reload = 0;
	var frame = 0;
	var score:flash.text.TextField;
	var points = 0;
	var dots:Array<{x:Float, y:Float, v:Float}> = [];

	public function new() {
		super();
		graphics.beginFill(0x0E1236);
		graphics.drawRect(0, 0, Kit.W, Kit.H);
		graphics.endFill();
		addChild(sky);
		for (i in 0...40)
			dots.push({x: Kit.rand(Kit.W), y: Kit.rand(Kit.H), v: 0.5 + Math.random() * 2});
		var g = ship.graphics;
		g.beginFill(0xE8383D);
		g.moveTo(-22, 18);
		g.lineTo(-10, 0);
		g.lineTo(-10, 18);
		g.moveTo(22, 18);
		g.lineTo(10, 0);
		g.lineTo(10, 18);
		g.endFill();
		g.beginFill(0xF2F2F2);
		g.moveTo(0, -30);
		g.curveTo(16, -10, 12, 20);
		g.lineTo(-12, 20);
		g.curveTo(-16, -10, 0, -30);
		g.endFill();
		g.beginFill(0x2D9CDB);
		g.drawCircle(0, -6, 7);
		g.endFill();
		ship.x = Kit.W / 2;
		ship.y = Kit.H - 50;
		addChild(ship);
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0xFFE45C);
		Kit.arrowHint(graphics, 8, Kit.H - 38, [0, 1, 2, 3]);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function tick(_) {
		frame++;
		var g = sky.graphics;
		g.clear();
		for (d in dots) {
			d.y += d.v;
			if (d.y > Kit.H)
				d.y = 0;
			g.beginFill(0xFFFFFF, 0.4 + d.v / 5);
			g.drawCircle(d.x, d.y, d.v);
			g.endFill();
		}
		if (Kit.isDown(Keyboard.LEFT)) ship.x -= 7;
		if (Kit.isDown(Keyboard.RIGHT)) ship.x += 7;
		if (Kit.isDown(Keyboard.UP)) ship.y -= 5;
		if (Kit.isDown(Keyboard.DOWN)) ship.y += 5;
		ship.x = Math.max(25, Math.min(Kit.W - 25, ship.x));
		ship.y = Math.max(Kit.H / 2, Math.min(Kit.H - 30, ship.y));
		ship.rotation = Kit.isDown(Keyboard.LEFT) ? -10 : Kit.isDown(Keyboard.RIGHT) ? 10 : 0;
		if (reload > 0)
			reload--;
		if (Kit.isDown(Keyboard.SPACE) && reload == 0) {
			var s = new Sprite();
			Kit.star(s.graphics, 0, 0, 8, 0xFFE45C);
			s.x = ship.x;
			s.y = ship.y - 32;
			addChildAt(s, 1);
			shots.push(s);
			reload = 8;
		}
		for (s in shots.copy()) {
			s.y -= 10;
			s.rotation += 20;
			if (s.y < -10) {
				shots.remove(s);
				removeChild(s);
			}
		}
		if (frame % 45 == 0) {
			var r = new Sprite();
			r.graphics.beginFill(Kit.pick([0x9C7A5B, 0x8C8C9C, 0xB08968]));
			var n = 9;
			for (i in 0...n) {
				var a = i * Math.PI * 2 / n, rr = 18 + Kit.rand(8);
				if (i == 0) r.graphics.moveTo(rr, 0) else r.graphics.lineTo(Math.cos(a) * rr, Math.sin(a) * rr);
			}
			r.graphics.endFill();
			r.graphics.beginFill(0x000000, 0.2);
			r.graphics.drawCircle(-6, -4, 5);
			r.graphics.drawCircle(7, 6, 4);
			r.graphics.endFill();
			r.x = 30 + Kit.rand(Kit.W - 60);
			r.y = -30;
			addChildAt(r, 1);
			rocks.push({s: r, v: 1.5 + Math.random() * 1.5, spin: Math.random() * 4 - 2});
		}
		for (r in rocks.copy()) {
			r.s.y += r.v;
			r.s.rotation += r.spin;
			var hit = false;
			for (s in shots)
				if (Math.abs(s.x - r.s.x) < 26 && Math.abs(s.y - r.s.y) < 26) {
					hit = true;
					shots.remove(s);
					removeChild(s);
					break;
				}
			// touching the rocket just bumps the rock away, no harm done
			var bump = Math.abs(ship.x - r.s.x) < 30 && Math.abs(ship.y - r.s.y) < 35;
			if (hit || bump || r.s.y > Kit.H + 30) {
				rocks.remove(r);
				removeChild(r.s);
				if (hit) {
					points++;
					score.text = Std.string(points);
					Kit.sparkle(this, r.s.x, r.s.y, 0xFF8C42, 10);
				}
			}
		}
	}

	static function main() {
		Kit.start(new SpaceShip());
	}
}
